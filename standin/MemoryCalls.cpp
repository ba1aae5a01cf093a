// The memory handles NIFReadEntries gives out: lock, unlock and free.
#include "CallLog.h"
#include "Exports.h"
#include "Session.h"
#include "Status.h"

using namespace standin;

extern "C" void* OSLockObject(MemHandle memory) {
  LogCall("OSLockObject");
  return Guarded<void*>(nullptr, [&]() -> void* {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kOSLockObject);
    Memory* block = session.Find(session.memory, memory, "OSLockObject");
    if (block == nullptr || fault != nullptr) return nullptr;
    ++block->locks;
    return block->noteIds.data();
  });
}

extern "C" Bool OSUnlockObject(MemHandle memory) {
  LogCall("OSUnlockObject");
  return Guarded<Bool>(0, [&] {
    Session& session = TheSession();
    Memory* block = session.Find(session.memory, memory, "OSUnlockObject");
    if (block == nullptr) return 0;
    if (block->locks == 0) {
      session.Misuse("OSUnlockObject of memory handle " + Hex(memory, 16) + " that is not locked");
      return 0;
    }
    --block->locks;
    return 1;
  });
}

extern "C" Status OSMemFree(MemHandle memory) {
  LogCall("OSMemFree");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    Memory* block = session.Find(session.memory, memory, "OSMemFree");
    if (block == nullptr) return kStatusInvalidHandle;
    if (block->locks != 0) {
      session.Misuse("OSMemFree of memory handle " + Hex(memory, 16) + " while it is locked");
    }
    session.memory.erase(memory);
    return 0;
  });
}
