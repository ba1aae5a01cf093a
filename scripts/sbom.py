#!/usr/bin/env python3
"""Writes the CycloneDX SBOM of the release's exe to standard output.

    sbom.py LINK_MAP EXE VERSION

LINK_MAP is the linker's map of the exe: every archive it took a member
from, and every object it loaded, is read there. Each such file outside the
build tree must belong to one of the components below, and the Debian
package that installed it gives the component's version. A file of no known
component is an error, so nothing the exe links in goes unlisted. The
timestamp is SOURCE_DATE_EPOCH, so the same build gives the same bytes.
"""
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys
import urllib.parse

# The first pattern a linked file's real path matches names its component.
COMPONENTS = [
    ("libstdc++", r"/libstdc\+\+\.a$"),
    ("libgcc", r"/(libgcc|libgcc_eh)\.a$|/crt(begin|end)\.o$"),
    ("winpthreads", r"/lib(win)?pthread\.a$"),
    ("mingw-w64 runtime", r"/x86_64-w64-mingw32/lib/[^/]+\.(a|o)$"),
]


def dpkg(*arguments):
    return subprocess.run(["dpkg-query", *arguments], check=True, capture_output=True,
                          text=True).stdout


def main(link_map, exe, version):
    with open(link_map, encoding="utf-8") as f:
        text = f.read()
    linked = set(re.findall(r"^(/\S+\.a)\(", text, re.M))
    linked |= set(re.findall(r"^LOAD (/\S+\.o)$", text, re.M))
    found = {}
    for path in sorted(os.path.realpath(p) for p in linked):
        name = next((name for name, pattern in COMPONENTS if re.search(pattern, path)), None)
        if name is None:
            sys.exit(f"sbom: {path} is linked into the exe but belongs to no known component")
        package = dpkg("-S", path).split(":")[0]
        found.setdefault(name, package)
    if len(found) != len(COMPONENTS):
        missing = sorted({name for name, _ in COMPONENTS} - found.keys())
        sys.exit(f"sbom: the link map names nothing of {', '.join(missing)}")

    components = []
    for name, package in sorted(found.items()):
        deb_version, arch = dpkg("-W", "-f=${Version} ${Architecture}", package).split()
        components.append({
            "type": "library",
            "bom-ref": name,
            "name": name,
            "version": deb_version,
            "description": f"linked into Quorvane.exe from the Debian package {package}",
            "purl": f"pkg:deb/debian/{package}@{urllib.parse.quote(deb_version)}?arch={arch}",
        })
    with open(exe, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "version": 1,
        "metadata": {
            "timestamp": datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
            .strftime("%Y-%m-%dT%H:%M:%SZ"),
            "component": {
                "type": "application",
                "bom-ref": "Quorvane.exe",
                "name": "Quorvane",
                "version": version,
                "hashes": [{"alg": "SHA-256", "content": digest}],
            },
        },
        "components": components,
        "dependencies": [{"ref": "Quorvane.exe", "dependsOn": [c["bom-ref"] for c in components]}],
    }
    json.dump(bom, sys.stdout, indent=2)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main(*sys.argv[1:])
