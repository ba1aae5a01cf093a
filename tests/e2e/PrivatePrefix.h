// Whether this process may change the keys a Notes or Domino installation
// keeps under HKEY_LOCAL_MACHINE. The registry tests create and delete them;
// on a workstation or server with a real installation that would wipe its
// keys. They may only do so under Wine, inside the private prefix of the
// build tree the tests were built in.
#pragma once

#include <optional>
#include <string>

// What a process can observe about the registry it talks to.
struct PrefixFacts {
  bool underWine = false;                     // ntdll exports wine_get_version
  std::optional<std::string> prefixVariable;  // WINEPREFIX as the process sees it
  // The host directory Wine maps drive C: to: inside the prefix Wine really
  // runs in, whatever the environment says.
  std::optional<std::string> driveC;
};

// Empty when the facts show the private prefix `expected` (a host path);
// otherwise why they do not. Paths are compared after normalising: either
// kind of slash, repeated and trailing slashes, the letter case of a drive.
std::string WhyNotPrivatePrefix(const PrefixFacts& facts, const std::string& expected);

// The message a registry test skips with when the facts are not those of the
// private prefix; empty when they are.
std::string RegistrySkipMessage(const PrefixFacts& facts, const std::string& expected);

// Ends the process with a message on standard error, having touched
// nothing, unless the facts are those of the private prefix.
void RefuseUnlessPrivate(const PrefixFacts& facts, const std::string& expected);

#if defined(_WIN32)
// The facts of this process, observed once.
const PrefixFacts& ObservedPrefix();

// RegistrySkipMessage for this process and the build tree's prefix.
std::string RegistrySkipMessage();

// RefuseUnlessPrivate for this process and the build tree's prefix.
void RefuseUnlessPrivate();
#endif
