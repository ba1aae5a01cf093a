// The registry keys a Notes or Domino installation leaves under
// HKEY_LOCAL_MACHINE, which the tool reads to find the library's directory.
// While an InstallationKeys lives, the test owns all four: none exists when it
// is made, and none is left when it goes. Windows only, and only inside the
// build tree's private Wine prefix: anywhere else every member ends the
// process with a message before it touches a key (PrivatePrefix.h).
#pragma once

#if defined(_WIN32)

#include <string>

enum class InstallationKey { Domino, DominoWow6432, Notes, NotesWow6432 };

class InstallationKeys {
 public:
  InstallationKeys();
  ~InstallationKeys();
  InstallationKeys(const InstallationKeys&) = delete;
  InstallationKeys& operator=(const InstallationKeys&) = delete;

  // Creates the key with no "Path" value.
  void Create(InstallationKey key);
  // Creates the key with a "Path" string value, terminator included.
  void SetPath(InstallationKey key, const std::wstring& path);
  // Creates the key with a "Path" value of exactly these bytes: a string, or
  // binary data, which the registry hands back as stored, without adding a
  // terminator.
  enum class ValueType { String, Binary };
  void SetPathBytes(InstallationKey key, const std::string& bytes, ValueType type);

 private:
  static void RemoveAll();
};

#endif
