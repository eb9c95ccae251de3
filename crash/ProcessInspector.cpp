#include "ProcessInspector.h"

#include <elfutils/libdwfl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <filesystem>

#include "ProcFiles.h"

namespace norvalis::crash {

namespace {

constexpr int MaxFrames = 256;

char* debugInfoPath = nullptr;

const Dwfl_Callbacks Callbacks = {
    dwfl_linux_proc_find_elf,
    dwfl_standard_find_debuginfo,
    nullptr,
    &debugInfoPath,
};

std::string Demangle(const char* name) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string text = status == 0 && demangled != nullptr ? demangled : name;
  std::free(demangled);
  return text;
}

std::string Hex(std::uint64_t value, int width = 16) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llx", width, static_cast<unsigned long long>(value));
  return text;
}

struct Frame {
  std::uint64_t pc = 0;
  bool activation = false;
};

struct FrameCollector {
  std::vector<Frame> frames;
};

int CollectFrame(Dwfl_Frame* state, void* argument) {
  auto* collector = static_cast<FrameCollector*>(argument);
  Dwarf_Addr pc = 0;
  bool activation = false;
  if (!dwfl_frame_pc(state, &pc, &activation)) return DWARF_CB_ABORT;
  collector->frames.push_back({pc, activation});
  return collector->frames.size() >= MaxFrames ? DWARF_CB_ABORT : DWARF_CB_OK;
}

struct ThreadCollector {
  const ProcessInspector* inspector;
  pid_t pid;
  pid_t crashedTid;
  std::optional<std::uint64_t> faultPc;
  std::vector<ThreadStack> stacks;
};

int CollectThread(Dwfl_Thread* thread, void* argument) {
  auto* collector = static_cast<ThreadCollector*>(argument);
  ThreadStack stack;
  stack.tid = dwfl_thread_tid(thread);
  stack.name = ThreadName(collector->pid, stack.tid);
  FrameCollector frames;
  if (dwfl_thread_getframes(thread, CollectFrame, &frames) != 0 && frames.frames.size() < 2)
    stack.error = dwfl_errmsg(-1);
  std::size_t first = 0;
  if (stack.tid == collector->crashedTid && collector->faultPc) {
    for (std::size_t i = 0; i < frames.frames.size(); ++i) {
      if (frames.frames[i].pc == *collector->faultPc) {
        first = i;
        break;
      }
    }
  }
  for (std::size_t i = first; i < frames.frames.size(); ++i) {
    const Frame& frame = frames.frames[i];
    // A return address points after the call; its caller's line is the one before.
    const std::uint64_t lookup = frame.activation ? frame.pc : frame.pc - 1;
    char index[16];
    std::snprintf(index, sizeof index, "#%-3zu", i - first);
    stack.frames.push_back(std::string(index) + " " + Hex(frame.pc) + "  " +
                           collector->inspector->Describe(lookup));
  }
  if (stack.tid == collector->crashedTid) {
    collector->stacks.insert(collector->stacks.begin(), std::move(stack));
  } else {
    collector->stacks.push_back(std::move(stack));
  }
  return DWARF_CB_OK;
}

int CollectModule(Dwfl_Module* module, void**, const char*, Dwarf_Addr, void* argument) {
  auto* modules = static_cast<std::vector<LoadedModule>*>(argument);
  LoadedModule loaded;
  Dwarf_Addr start = 0;
  Dwarf_Addr end = 0;
  const char* name =
      dwfl_module_info(module, nullptr, &start, &end, nullptr, nullptr, nullptr, nullptr);
  loaded.start = start;
  loaded.end = end;
  loaded.path = name != nullptr ? name : "";
  // The build ID is read from the module's file, which is opened on demand.
  Dwarf_Addr bias = 0;
  dwfl_module_getelf(module, &bias);
  const unsigned char* bits = nullptr;
  GElf_Addr vaddr = 0;
  const int length = dwfl_module_build_id(module, &bits, &vaddr);
  for (int i = 0; i < length; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", bits[i]);
    loaded.buildId += pair;
  }
  modules->push_back(std::move(loaded));
  return DWARF_CB_OK;
}

}  // namespace

ProcessInspector::ProcessInspector(pid_t pid) : pid_(pid) {
  dwfl_ = dwfl_begin(&Callbacks);
  if (dwfl_ == nullptr) {
    error_ = dwfl_errmsg(-1);
    return;
  }
  dwfl_report_begin(dwfl_);
  const int reported = dwfl_linux_proc_report(dwfl_, pid);
  dwfl_report_end(dwfl_, nullptr, nullptr);
  if (reported != 0) {
    error_ = reported > 0 ? std::string(std::strerror(reported)) : dwfl_errmsg(-1);
    return;
  }
  const int attached = dwfl_linux_proc_attach(dwfl_, pid, false);
  if (attached != 0) {
    error_ = attached > 0 ? std::string(std::strerror(attached)) : dwfl_errmsg(-1);
    return;
  }
  attached_ = true;
}

ProcessInspector::~ProcessInspector() {
  // Ends the tracing too: the threads run on.
  if (dwfl_ != nullptr) dwfl_end(dwfl_);
}

std::vector<ThreadStack> ProcessInspector::Stacks(pid_t crashedTid,
                                                  std::optional<std::uint64_t> faultPc) {
  ThreadCollector collector{this, pid_, crashedTid, faultPc, {}};
  if (attached_) dwfl_getthreads(dwfl_, CollectThread, &collector);
  return std::move(collector.stacks);
}

std::vector<LoadedModule> ProcessInspector::Modules() const {
  std::vector<LoadedModule> modules;
  if (dwfl_ != nullptr) dwfl_getmodules(dwfl_, CollectModule, &modules, 0);
  std::sort(modules.begin(), modules.end(),
            [](const LoadedModule& a, const LoadedModule& b) { return a.start < b.start; });
  return modules;
}

std::string ProcessInspector::Describe(std::uint64_t address) const {
  Dwfl_Module* module = dwfl_ != nullptr ? dwfl_addrmodule(dwfl_, address) : nullptr;
  if (module == nullptr) return "??";
  std::string text;
  GElf_Off offset = 0;
  GElf_Sym symbol{};
  const char* name =
      dwfl_module_addrinfo(module, address, &offset, &symbol, nullptr, nullptr, nullptr);
  text = name != nullptr ? Demangle(name) + " + " + Hex(offset, 0) : "??";
  if (Dwfl_Line* line = dwfl_module_getsrc(module, address)) {
    int number = 0;
    if (const char* file = dwfl_lineinfo(line, nullptr, &number, nullptr, nullptr, nullptr))
      text += " (" + std::string(file) + ":" + std::to_string(number) + ")";
  }
  const char* moduleName =
      dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (moduleName != nullptr)
    text += " [" + std::filesystem::path(moduleName).filename().string() + "]";
  return text;
}

std::optional<std::uint64_t> ProcessInspector::FunctionStart(std::uint64_t address) const {
  Dwfl_Module* module = dwfl_ != nullptr ? dwfl_addrmodule(dwfl_, address) : nullptr;
  if (module == nullptr) return std::nullopt;
  GElf_Off offset = 0;
  GElf_Sym symbol{};
  if (dwfl_module_addrinfo(module, address, &offset, &symbol, nullptr, nullptr, nullptr) == nullptr)
    return std::nullopt;
  return address - offset;
}

std::vector<std::uint8_t> ReadProcessMemory(pid_t pid, std::uint64_t address, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  const int fd = open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const ssize_t got = pread(fd, bytes.data(), size, static_cast<off_t>(address));
  close(fd);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

}  // namespace norvalis::crash
