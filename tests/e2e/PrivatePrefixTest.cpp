// The decision that keeps the registry tests away from a real installation's
// keys: only on the machine QUORVANE_REGISTRY_TESTS names. Under Wine that is
// a prefix, by what the environment says and by where Wine's drive C: really
// is; on Windows the computer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PrivatePrefix.h"

namespace {

const std::string kPrefix = "/srv/tree/build/win/wineprefix";
const std::string kDriveC = kPrefix + "/dosdevices/c:/";

PrefixFacts Wine(std::optional<std::string> variable, std::optional<std::string> driveC) {
  return PrefixFacts{true, std::move(variable), std::move(driveC), "BUILDHOST"};
}

PrefixFacts Windows(std::string computer) {
  return PrefixFacts{false, {}, {}, std::move(computer)};
}

TEST(PrivatePrefixTest, OnlyTheMachineNamedMayHaveItsKeysChanged) {
  struct Case {
    const char* name;
    PrefixFacts facts;
    std::string expected;  // QUORVANE_REGISTRY_TESTS
    std::string why;       // empty: the keys may be changed
  };
  const std::vector<Case> cases = {
      {"the prefix itself", Wine(kPrefix, kDriveC), kPrefix, ""},
      {"a trailing slash", Wine(kPrefix + "/", kDriveC), kPrefix, ""},
      {"the build tree's name with a trailing slash", Wine(kPrefix, kDriveC), kPrefix + "/", ""},
      {"repeated slashes",
       Wine("/srv//tree/build/win//wineprefix", "/srv/tree//build/win/wineprefix/dosdevices/c:"),
       kPrefix, ""},
      {"a drive letter in other case, backslashes",
       Wine("z:/srv/p/", "Z:\\srv\\p\\dosdevices\\c:\\"), "Z:\\srv\\p", ""},
      {"a copy of the prefix", Wine(kPrefix + "-copy", kPrefix + "-copy/dosdevices/c:/"), kPrefix,
       "WINEPREFIX is " + kPrefix + "-copy"},
      {"the directory above it", Wine("/srv/tree/build/win", "/srv/tree/build/win/dosdevices/c:/"),
       kPrefix, "WINEPREFIX is /srv/tree/build/win"},
      {"a name that differs in letter case",
       Wine("/srv/Tree/build/win/wineprefix", "/srv/Tree/build/win/wineprefix/dosdevices/c:/"),
       kPrefix, "WINEPREFIX is /srv/Tree/build/win/wineprefix"},
      {"the user's own prefix", Wine("/root/.wine", "/root/.wine/dosdevices/c:/"), kPrefix,
       "WINEPREFIX is /root/.wine"},
      {"WINEPREFIX unset", Wine(std::nullopt, "/root/.wine/dosdevices/c:/"), kPrefix,
       "WINEPREFIX is not set"},
      {"WINEPREFIX empty", Wine("", kDriveC), kPrefix, "WINEPREFIX is "},
      {"Windows, a prefix named", PrefixFacts{false, kPrefix, kDriveC, "VM7"}, kPrefix,
       "it names " + kPrefix + ", and this computer is VM7"},
      {"Windows, nothing known", PrefixFacts{}, kPrefix,
       "it names " + kPrefix + ", and this computer is "},
      {"Windows, the computer named", Windows("TESTVM-01"), "TESTVM-01", ""},
      {"Windows, the computer named in other case", Windows("TESTVM-01"), "testvm-01", ""},
      {"Windows, another computer", Windows("TESTVM-01"), "TESTVM-02",
       "it names TESTVM-02, and this computer is TESTVM-01"},
      {"Windows, nothing named", Windows("TESTVM-01"), "", "it is not set"},
      {"Wine, the host's name", Wine(kPrefix, kDriveC), "BUILDHOST",
       "under Wine it must name the prefix by its host path"},
      {"the variable names the prefix, Wine runs in another",
       Wine(kPrefix, "/root/.wine/dosdevices/c:/"), kPrefix,
       "drive C: is /root/.wine/dosdevices/c:/"},
      {"drive C: elsewhere inside the prefix", Wine(kPrefix, kPrefix + "/drive_c/"), kPrefix,
       "drive C: is " + kPrefix + "/drive_c/"},
      {"drive C: unknown", Wine(kPrefix, std::nullopt), kPrefix,
       "Wine does not say where drive C: is"},
      {"nothing named", Wine(kPrefix, kDriveC), "", "it is not set"},
      {"a relative name for the prefix", Wine("wineprefix", "wineprefix/dosdevices/c:"),
       "wineprefix", "under Wine it must name the prefix by its host path"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WhyKeysAreLeftAlone(c.facts, c.expected), c.why) << c.name;
    const std::string message = RegistrySkipMessage(c.facts, c.expected);
    if (c.why.empty()) {
      EXPECT_EQ(message, "") << c.name;
      RefuseUnlessNamed(c.facts, c.expected);  // returns: the keys may be changed
    } else {
      // Why, and how to ask for them where they may run.
      const std::string why = "QUORVANE_REGISTRY_TESTS " + c.why;
      EXPECT_EQ(message.substr(message.size() - std::min(message.size(), why.size())), why)
          << c.name;
      EXPECT_NE(message.find("run-tests.cmd /registry"), std::string::npos) << c.name;
    }
  }
}

TEST(PrivatePrefixTest, KeysAreNotChangedOnAMachineNotNamed) {
  // The second line behind the skip: the helper that changes the keys ends
  // the process first.
  EXPECT_DEATH(
      RefuseUnlessNamed(Wine(kPrefix + "-copy", kPrefix + "-copy/dosdevices/c:/"), kPrefix),
      "refusing to change HKLM.*QUORVANE_REGISTRY_TESTS does not name: WINEPREFIX is ");
  EXPECT_DEATH(RefuseUnlessNamed(Windows("TESTVM-01"), ""),
               "refusing to change HKLM.*does not name: it is not set");
}

}  // namespace
