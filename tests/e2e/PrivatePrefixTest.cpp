// The decision that keeps the registry tests away from a real installation's
// keys: only on the machine QUORVANE_REGISTRY_TESTS names. Under Wine that is
// the prefix where Wine's drive C: really is; on Windows the computer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PrivatePrefix.h"

namespace {

const std::string kPrefix = "/srv/tree/build/win/wineprefix";

PrefixFacts Wine(std::optional<std::string> driveC) {
  return PrefixFacts{true, std::move(driveC), "BUILDHOST"};
}

PrefixFacts Windows(std::string computer) { return PrefixFacts{false, {}, std::move(computer)}; }

TEST(PrivatePrefixTest, OnlyTheMachineNamedMayHaveItsKeysChanged) {
  struct Case {
    const char* name;
    PrefixFacts facts;
    std::string named;  // QUORVANE_REGISTRY_TESTS
    std::string why;    // empty: the keys may be changed
  };
  const std::string driveC = kPrefix + "/dosdevices/c:/";
  const std::vector<Case> cases = {
      {"the prefix", Wine(driveC), kPrefix, ""},
      {"the prefix with a trailing slash", Wine(driveC), kPrefix + "/", ""},
      {"repeated slashes", Wine("/srv/tree//build/win/wineprefix/dosdevices//c:"),
       "/srv//tree/build/win//wineprefix", ""},
      {"a Windows path", Wine(driveC), "Z:\\srv\\tree\\build\\win\\wineprefix",
       "under Wine it must name the prefix by its host path"},
      {"a copy of the prefix", Wine(kPrefix + "-copy/dosdevices/c:/"), kPrefix,
       "drive C: is " + kPrefix + "-copy/dosdevices/c:/"},
      {"the directory above it", Wine("/srv/tree/build/win/dosdevices/c:/"), kPrefix,
       "drive C: is /srv/tree/build/win/dosdevices/c:/"},
      {"a name that differs in letter case", Wine("/srv/Tree/build/win/wineprefix/dosdevices/c:"),
       kPrefix, "drive C: is /srv/Tree/build/win/wineprefix/dosdevices/c:"},
      {"the user's own prefix", Wine("/root/.wine/dosdevices/c:/"), kPrefix,
       "drive C: is /root/.wine/dosdevices/c:/"},
      {"drive C: elsewhere inside the prefix", Wine(kPrefix + "/drive_c/"), kPrefix,
       "drive C: is " + kPrefix + "/drive_c/"},
      {"drive C: unknown", Wine(std::nullopt), kPrefix, "Wine does not say where drive C: is"},
      {"nothing named", Wine(driveC), "", "it is not set"},
      {"a relative name", Wine("wineprefix/dosdevices/c:"), "wineprefix",
       "under Wine it must name the prefix by its host path"},
      {"the host's name under Wine", Wine(driveC), "BUILDHOST",
       "under Wine it must name the prefix by its host path"},
      {"Windows, the computer named", Windows("TESTVM-01"), "TESTVM-01", ""},
      {"Windows, the computer named in other case", Windows("TESTVM-01"), "testvm-01", ""},
      {"Windows, another computer", Windows("TESTVM-01"), "TESTVM-02",
       "it names TESTVM-02, and this computer is TESTVM-01"},
      {"Windows, a prefix named", Windows("VM7"), kPrefix,
       "it names " + kPrefix + ", and this computer is VM7"},
      {"Windows, nothing named", Windows("TESTVM-01"), "", "it is not set"},
      {"Windows, nothing known", PrefixFacts{}, "VM7", "it names VM7, and this computer is "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WhyKeysAreLeftAlone(c.facts, c.named), c.why) << c.name;
    const std::string message = RegistrySkipMessage(c.facts, c.named);
    if (c.why.empty()) {
      EXPECT_EQ(message, "") << c.name;
      RefuseUnlessNamed(c.facts, c.named);  // returns: the keys may be changed
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
  EXPECT_DEATH(RefuseUnlessNamed(Wine(kPrefix + "-copy/dosdevices/c:"), kPrefix),
               "refusing to change HKLM.*QUORVANE_REGISTRY_TESTS does not name: drive C: is ");
  EXPECT_DEATH(RefuseUnlessNamed(Windows("TESTVM-01"), ""),
               "refusing to change HKLM.*does not name: it is not set");
}

}  // namespace
