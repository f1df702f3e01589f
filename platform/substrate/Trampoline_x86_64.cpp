#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/substrate/Trampoline.h"

namespace {

struct HookRecord {
  Class hookedClass;
  SEL selector;
};

}  // namespace

extern "C" void substrate_forward_to_superclass();

extern "C" IMP substrate_superclass_implementation(const HookRecord* record, SEL) {
  IMP implementation = class_getMethodImplementation(class_getSuperclass(record->hookedClass), record->selector);
  if (!implementation) {
    // Methods are never removed, so the superclass answered when the hook was made.
    std::fprintf(stderr, "MS:Error: %s no longer inherits -%s\n", class_getName(record->hookedClass),
                 sel_getName(record->selector));
    std::abort();
  }
  return implementation;
}

namespace substrate {

IMP makeSuperclassForwarder(Class hookedClass, SEL selector) {
  // Records live as long as their stubs, which is the process's life; the list
  // keeps them reachable where only the stub's code points at them.
  static std::mutex mutex;
  static auto* records = new std::vector<std::unique_ptr<HookRecord>>;
  HookRecord* record;
  {
    std::lock_guard lock(mutex);
    records->push_back(std::make_unique<HookRecord>(HookRecord{hookedClass, selector}));
    record = records->back().get();
  }
  // movabs $record, %r11; movabs $forwarder, %r10; jmp *%r10
  unsigned char code[23];
  auto recordAddress = reinterpret_cast<std::uintptr_t>(record);
  auto forwarderAddress = reinterpret_cast<std::uintptr_t>(&substrate_forward_to_superclass);
  code[0] = 0x49, code[1] = 0xBB;
  std::memcpy(code + 2, &recordAddress, 8);
  code[10] = 0x49, code[11] = 0xBA;
  std::memcpy(code + 12, &forwarderAddress, 8);
  code[20] = 0x41, code[21] = 0xFF, code[22] = 0xE2;

  // One page per stub: a page is never writable while another stub on it may run.
  long pageSize = sysconf(_SC_PAGESIZE);
  void* page = mmap(nullptr, static_cast<size_t>(pageSize), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) return nullptr;
  std::memcpy(page, code, sizeof code);
  if (mprotect(page, static_cast<size_t>(pageSize), PROT_READ | PROT_EXEC) != 0) {
    munmap(page, static_cast<size_t>(pageSize));
    return nullptr;
  }
  __builtin___clear_cache(static_cast<char*>(page), static_cast<char*>(page) + sizeof code);
  return reinterpret_cast<IMP>(page);
}

}  // namespace substrate
