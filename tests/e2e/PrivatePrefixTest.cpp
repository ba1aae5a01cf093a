// The decision that keeps the registry tests away from a real installation's
// keys: only under Wine, and only in the build tree's own prefix, by what the
// environment says and by where Wine's drive C: really is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrivatePrefix.h"

namespace {

const std::string kPrefix = "/work/tree/build/win/wineprefix";
const std::string kDriveC = kPrefix + "/dosdevices/c:/";

PrefixFacts Wine(std::optional<std::string> variable, std::optional<std::string> driveC) {
  return PrefixFacts{true, std::move(variable), std::move(driveC)};
}

TEST(PrivatePrefixTest, OnlyTheBuildTreesOwnPrefixUnderWineIsPrivate) {
  struct Case {
    const char* name;
    PrefixFacts facts;
    std::string expected;  // the build tree's prefix
    std::string why;       // empty: private
  };
  const std::vector<Case> cases = {
      {"the prefix itself", Wine(kPrefix, kDriveC), kPrefix, ""},
      {"a trailing slash", Wine(kPrefix + "/", kDriveC), kPrefix, ""},
      {"the build tree's name with a trailing slash", Wine(kPrefix, kDriveC), kPrefix + "/", ""},
      {"repeated slashes",
       Wine("/work//tree/build/win//wineprefix", "/work/tree//build/win/wineprefix/dosdevices/c:"),
       kPrefix, ""},
      {"a drive letter in other case, backslashes",
       Wine("z:/work/p/", "Z:\\work\\p\\dosdevices\\c:\\"), "Z:\\work\\p", ""},
      {"a copy of the prefix", Wine(kPrefix + "-copy", kPrefix + "-copy/dosdevices/c:/"), kPrefix,
       "WINEPREFIX is " + kPrefix + "-copy"},
      {"the directory above it",
       Wine("/work/tree/build/win", "/work/tree/build/win/dosdevices/c:/"), kPrefix,
       "WINEPREFIX is /work/tree/build/win"},
      {"a name that differs in letter case",
       Wine("/work/Tree/build/win/wineprefix", "/work/Tree/build/win/wineprefix/dosdevices/c:/"),
       kPrefix, "WINEPREFIX is /work/Tree/build/win/wineprefix"},
      {"the user's own prefix", Wine("/root/.wine", "/root/.wine/dosdevices/c:/"), kPrefix,
       "WINEPREFIX is /root/.wine"},
      {"WINEPREFIX unset", Wine(std::nullopt, "/root/.wine/dosdevices/c:/"), kPrefix,
       "WINEPREFIX is not set"},
      {"WINEPREFIX empty", Wine("", kDriveC), kPrefix, "WINEPREFIX is "},
      {"not Wine", PrefixFacts{false, kPrefix, kDriveC}, kPrefix, "this is not Wine"},
      {"not Wine, nothing else known", PrefixFacts{}, kPrefix, "this is not Wine"},
      {"the variable names the prefix, Wine runs in another",
       Wine(kPrefix, "/root/.wine/dosdevices/c:/"), kPrefix,
       "drive C: is /root/.wine/dosdevices/c:/"},
      {"drive C: elsewhere inside the prefix", Wine(kPrefix, kPrefix + "/drive_c/"), kPrefix,
       "drive C: is " + kPrefix + "/drive_c/"},
      {"drive C: unknown", Wine(kPrefix, std::nullopt), kPrefix,
       "Wine does not say where drive C: is"},
      {"no prefix named by the build tree", Wine(kPrefix, kDriveC), "",
       "the build tree names no prefix of its own"},
      {"a relative name for the build tree's prefix",
       Wine("wineprefix", "wineprefix/dosdevices/c:"), "wineprefix",
       "the build tree names no prefix of its own"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WhyNotPrivatePrefix(c.facts, c.expected), c.why) << c.name;
    const std::string message = RegistrySkipMessage(c.facts, c.expected);
    if (c.why.empty()) {
      EXPECT_EQ(message, "") << c.name;
      RefuseUnlessPrivate(c.facts, c.expected);  // returns: the keys may be changed
    } else {
      EXPECT_EQ(message,
                "registry tests run only inside the project's private Wine prefix (" + c.expected +
                    "); this machine's keys under HKLM\\SOFTWARE\\Lotus are left alone: " + c.why)
          << c.name;
    }
  }
}

TEST(PrivatePrefixTest, KeysAreNotChangedOutsideThePrivatePrefix) {
  // The second line behind the skip: the helper that changes the keys ends
  // the process first.
  EXPECT_DEATH(
      RefuseUnlessPrivate(Wine(kPrefix + "-copy", kPrefix + "-copy/dosdevices/c:/"), kPrefix),
      "refusing to change HKLM.*private Wine prefix .*WINEPREFIX is ");
  EXPECT_DEATH(RefuseUnlessPrivate(PrefixFacts{false, kPrefix, kDriveC}, kPrefix),
               "refusing to change HKLM.*this is not Wine");
}

}  // namespace
