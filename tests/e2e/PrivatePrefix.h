// Whether this process may create and remove the keys a Notes or Domino
// installation keeps under HKEY_LOCAL_MACHINE, as the registry tests do:
// only when QUORVANE_REGISTRY_TESTS names the machine they run on, under
// Wine the prefix by its host path (the build tree's tests name the tree's
// own prefix), on Windows the computer's name (run-tests.cmd /registry).
// Even there, an installation's own keys are left alone (InstallationKeys.h).
#pragma once

#include <optional>
#include <string>

// What a process can observe about the registry it talks to.
struct PrefixFacts {
  bool underWine = false;  // ntdll exports wine_get_version
  // The host directory Wine maps drive C: to: inside the prefix Wine really
  // runs in, whatever WINEPREFIX says (a parent may hand a child any
  // environment it likes).
  std::optional<std::string> driveC;
  std::string computerName;  // as Windows names this computer
};

// Empty when `named` (QUORVANE_REGISTRY_TESTS) names the machine the facts
// show; otherwise why it does not. Host paths are compared without repeated
// or trailing slashes, computer names in any letter case; under Wine only a
// host path names a prefix.
std::string WhyKeysAreLeftAlone(const PrefixFacts& facts, const std::string& named);

// The message a registry test skips with when `named` does not name the
// machine; empty when it does.
std::string RegistrySkipMessage(const PrefixFacts& facts, const std::string& named);

// Ends the process with a message on standard error, having touched
// nothing, unless `named` names the machine.
void RefuseUnlessNamed(const PrefixFacts& facts, const std::string& named);

#if defined(_WIN32)
// The facts of this process, observed once.
const PrefixFacts& ObservedPrefix();

// RegistrySkipMessage for this process and its QUORVANE_REGISTRY_TESTS.
std::string RegistrySkipMessage();

// RefuseUnlessNamed for this process and its QUORVANE_REGISTRY_TESTS.
void RefuseUnlessNamed();
#endif
