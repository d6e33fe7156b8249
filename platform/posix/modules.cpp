// Modules of the process from the dynamic loader's list of loaded objects.
#include "platform/modules.h"

#include <cerrno>
#include <cstring>
#include <link.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/console_files.h"

namespace platform {
namespace {

struct ProgramSearch {
  HMODULE base = 0;
  bool found = false;
};

// The first object that the loader reports is the program itself.
int FindProgram(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<ProgramSearch*>(data);
  search->base = static_cast<HMODULE>(info->dlpi_addr);
  search->found = true;
  return 1;
}

struct NameSearch {
  const char* name;
  HMODULE base = 0;
  bool found = false;
};

const char* AfterLastSlash(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

int FindByName(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<NameSearch*>(data);
  if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
  if (std::strcmp(AfterLastSlash(info->dlpi_name), search->name) != 0) return 0;
  search->base = static_cast<HMODULE>(info->dlpi_addr);
  search->found = true;
  return 1;
}

struct HandleSearch {
  HMODULE handle;
  const char* name = nullptr;
  bool isProgram = false;
  bool found = false;
  bool first = true;
};

int FindByHandle(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<HandleSearch*>(data);
  const bool isProgram = search->first;
  search->first = false;
  if (static_cast<HMODULE>(info->dlpi_addr) != search->handle) return 0;
  search->found = true;
  search->isProgram = isProgram;
  search->name = info->dlpi_name;
  return 1;
}

struct AddressSearch {
  uintptr_t address;
  MEMORY_BASIC_INFORMATION* info;
  bool found = false;
};

DWORD ProtectionOf(ElfW(Word) flags) {
  const bool read = (flags & PF_R) != 0;
  const bool write = (flags & PF_W) != 0;
  const bool execute = (flags & PF_X) != 0;
  if (execute) return write ? PAGE_EXECUTE_READWRITE : (read ? PAGE_EXECUTE_READ : PAGE_EXECUTE);
  if (write) return PAGE_READWRITE;
  return read ? PAGE_READONLY : PAGE_NOACCESS;
}

int FindByAddress(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<AddressSearch*>(data);
  const uintptr_t pageSize = 4096;
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD || segment.p_memsz == 0) continue;
    const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    const uintptr_t end = start + segment.p_memsz;
    if (search->address < start || search->address >= end) continue;
    const uintptr_t regionStart = start & ~(pageSize - 1);
    const uintptr_t regionEnd = (end + pageSize - 1) & ~(pageSize - 1);
    MEMORY_BASIC_INFORMATION& result = *search->info;
    result.BaseAddress = reinterpret_cast<void*>(regionStart);
    result.AllocationBase = reinterpret_cast<void*>(info->dlpi_addr);
    result.AllocationProtect = ProtectionOf(segment.p_flags);
    result.RegionSize = regionEnd - regionStart;
    result.State = MEM_COMMIT;
    result.Protect = result.AllocationProtect;
    result.Type = MEM_IMAGE;
    search->found = true;
    return 1;
  }
  return 0;
}

// The kernel names a program file that was removed (or replaced, as an upgrade replaces it) while
// it runs with " (deleted)" after its path. The mark is not part of the file's name: it is
// dropped, unless a file of that very name is the program itself.
size_t WithoutDeletedMark(const char* path, size_t length) {
  static constexpr char Mark[] = " (deleted)";
  constexpr size_t MarkLength = sizeof Mark - 1;
  if (length <= MarkLength || std::memcmp(path + length - MarkLength, Mark, MarkLength) != 0) {
    return length;
  }
  struct stat named {};
  struct stat running {};
  if (stat(path, &named) == 0 && stat("/proc/self/exe", &running) == 0 &&
      named.st_dev == running.st_dev && named.st_ino == running.st_ino) {
    return length;
  }
  return length - MarkLength;
}

DWORD CopyPath(const char* path, size_t length, char* fileName, DWORD size) {
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (length >= size) {
    std::memmove(fileName, path, size - 1);
    fileName[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memmove(fileName, path, length);
  fileName[length] = '\0';
  return static_cast<DWORD>(length);
}

}  // namespace

HMODULE GetModuleHandleA(const char* moduleName) {
  if (moduleName == nullptr) {
    // The program's own image stays where it was loaded for the life of the process: the
    // loader's list is asked once.
    static const HMODULE program = [] {
      ProgramSearch search;
      dl_iterate_phdr(FindProgram, &search);
      return search.base;
    }();
    return program;
  }
  NameSearch search{moduleName};
  dl_iterate_phdr(FindByName, &search);
  if (!search.found) SetLastError(ERROR_MOD_NOT_FOUND);
  return search.base;
}

DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size) {
  HandleSearch search{module};
  if (module != 0) dl_iterate_phdr(FindByHandle, &search);
  if (module == 0 || (search.found && search.isProgram)) {
    // The kernel's name of the program's file, read straight into the caller's buffer (a run
    // asks for it once, for the language search, and once more for a report).
    if (size == 0) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    const ssize_t length = readlink("/proc/self/exe", fileName, size);
    if (length > 0) {
      // As many bytes as the buffer holds means the name may go on: it is cut, as Windows cuts.
      if (static_cast<size_t>(length) >= size) return CopyPath(fileName, size, fileName, size);
      fileName[length] = '\0';
      return CopyPath(fileName, WithoutDeletedMark(fileName, static_cast<size_t>(length)), fileName,
                      size);
    }
    const int error = errno;
    // No /proc: the name the program was started under, which still ends in the program's file
    // name.
    const auto* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
    if (started == nullptr || started[0] == '\0') {
      SetLastError(ERROR_GEN_FAILURE);
      return 0;
    }
    if (error == ENAMETOOLONG) {
      // A path too long for the kernel to spell is longer than any buffer: the started name
      // serves for the file name part, and the whole counts as cut, as a path cut to the buffer
      // does (nothing is looked for beside a path that was cut).
      CopyPath(started, std::strlen(started), fileName, size);
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return size;
    }
    return CopyPath(started, std::strlen(started), fileName, size);
  }
  if (!search.found || search.name == nullptr || search.name[0] == '\0') {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return CopyPath(search.name, std::strlen(search.name), fileName, size);
}

size_t VirtualQuery(const void* address, MEMORY_BASIC_INFORMATION* info, size_t length) {
  if (info == nullptr || length < sizeof(MEMORY_BASIC_INFORMATION)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memset(info, 0, sizeof *info);
  AddressSearch search{reinterpret_cast<uintptr_t>(address), info};
  dl_iterate_phdr(FindByAddress, &search);
  if (!search.found) {
    info->BaseAddress = reinterpret_cast<void*>(search.address & ~uintptr_t{4095});
    info->AllocationBase = nullptr;
    info->RegionSize = 4096;
    info->State = MEM_FREE;
    info->Protect = PAGE_NOACCESS;
  }
  return sizeof(MEMORY_BASIC_INFORMATION);
}

}  // namespace platform
