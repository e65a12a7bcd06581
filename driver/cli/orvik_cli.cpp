// orvik-cli: calls any export of liborvik.so by name, as a host program would, and
// prints what it answered. Texts go in as UTF-8 and reach the driver in Windows-1252;
// answers come back converted to UTF-8.
//
//   orvik-cli EXPORT [ARG...]   call EXPORT with its input arguments in order
//   orvik-cli --list            every export with its prototype
//   orvik-cli --procura [DEV..] which device answers on each serial line
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <future>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "common/files.h"
#include "common/ini.h"
#include "common/orvik_ini.h"
#include "common/ports.h"
#include "common/serial_devices.h"
#include "common/text1252.h"
#include "orvik/orvik.h"
#include "port_search.h"

namespace {

// Answer buffers are generous and start as blanks, the way host programs size them, so
// that exports that look at the caller's width see one.
constexpr size_t kBufferSize = 64 * 1024;
constexpr size_t kBufferBlanks = 256;

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The arguments of one call: inputs taken from the command line in order, outputs kept
// for printing afterwards.
class Call {
 public:
  explicit Call(std::vector<std::string> inputs) : inputs_(std::move(inputs)) {}

  template <class T>
  T Next();

  void Print(const std::vector<std::string>& names) const {
    for (const Output& out : outputs_) {
      const std::string& name = out.position < names.size() ? names[out.position] : "?";
      if (out.buffer) {
        const char* text = out.buffer->data();
        if (std::memcmp(text, Blanks().data(), Blanks().size() + 1) == 0) {
          std::printf("%s: (not written)\n", name.c_str());
        } else {
          std::printf("%s: \"%s\"\n", name.c_str(), common::cp1252_to_utf8(text).c_str());
        }
      } else {
        std::printf("%s: %d\n", name.c_str(), *out.integer);
      }
    }
  }

 private:
  struct Output {
    size_t position;
    std::vector<char>* buffer = nullptr;
    int* integer = nullptr;
  };

  static const std::string& Blanks() {
    static const std::string blanks(kBufferBlanks, ' ');
    return blanks;
  }

  const std::string& NextInput() {
    if (next_input_ >= inputs_.size()) throw UsageError("missing argument");
    ++position_;
    return inputs_[next_input_++];
  }

  std::vector<std::string> inputs_;
  size_t next_input_ = 0;
  size_t position_ = 0;
  std::deque<std::vector<char>> texts_;
  std::deque<std::vector<char>> buffers_;
  std::deque<int> integers_;
  std::vector<Output> outputs_;
};

template <>
const char* Call::Next<const char*>() {
  // Texts sit in zero-filled space as large as an answer buffer, so an export told to
  // read more bytes than the text holds (Vuno_EnviaComando's count) reads zeros.
  const std::string& text = NextInput();
  std::vector<char>& copy = texts_.emplace_back(std::max(text.size() + 1, kBufferSize), '\0');
  std::memcpy(copy.data(), text.data(), text.size());
  return copy.data();
}

template <>
int Call::Next<int>() {
  const std::string& text = NextInput();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < INT_MIN || value > INT_MAX) {
    throw UsageError("argument " + std::to_string(position_) +
                     " must be a whole number: " + common::cp1252_to_utf8(text));
  }
  return static_cast<int>(value);
}

template <>
char* Call::Next<char*>() {
  std::vector<char>& buffer = buffers_.emplace_back(kBufferSize, '\0');
  std::memcpy(buffer.data(), Blanks().data(), Blanks().size());
  outputs_.push_back({position_++, &buffer, nullptr});
  return buffer.data();
}

template <>
int* Call::Next<int*>() {
  int& value = integers_.emplace_back(0);
  outputs_.push_back({position_++, nullptr, &value});
  return &value;
}

// What the prototype of an export asks for, read from its type.
template <class F>
struct Prototype;

template <class... A>
struct Prototype<int ORVIK_CALL(A...)> {
  static constexpr size_t kInputs =
      ((std::is_same_v<A, const char*> || std::is_same_v<A, int> ? 1 : 0) + ... + 0);

  static int Invoke(void* symbol, Call& call) {
    auto function = reinterpret_cast<int(ORVIK_CALL*)(A...)>(symbol);
    // Braced initialisation takes the arguments left to right.
    std::tuple<A...> arguments{call.Next<A>()...};
    return std::apply(function, arguments);
  }
};

struct Export {
  const char* group;
  const char* name;
  const char* parameters;
  size_t inputs;
  int (*invoke)(void*, Call&);
};

// The table comes from the same list as orvik.h, so it cannot drift from the header.
const Export kExports[] = {
#define ORVIK_EXPORT(group, name, params)                        \
  {#group, #name, #params, Prototype<decltype(::name)>::kInputs, \
   &Prototype<decltype(::name)>::Invoke},
#include "orvik/exports.def"
#undef ORVIK_EXPORT
};
static_assert(std::size(kExports) == ORVIK_EXPORT_COUNT);

const Export* Find(std::string_view name) {
  for (const Export& e : kExports) {
    if (name == e.name) return &e;
  }
  return nullptr;
}

// The parameter names of a prototype text such as "(char* date, char* time)".
std::vector<std::string> ParameterNames(std::string_view parameters) {
  std::vector<std::string> names;
  std::string_view rest = parameters.substr(1, parameters.size() - 2);
  if (rest == "void") return names;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    std::string_view item = common::trim(rest.substr(0, comma));
    const size_t start = item.find_last_of(" *");
    names.emplace_back(item.substr(start == std::string_view::npos ? 0 : start + 1));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return names;
}

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: orvik-cli EXPORT [ARG...]   call an export of liborvik.so\n"
               "       orvik-cli --list            list the exports with their prototypes\n"
               "       orvik-cli --procura [DEVICE...]\n"
               "                                   try each serial line (the ttyS, ttyUSB, ttyACM\n"
               "                                   and by-id devices and those of [Portas]) and\n"
               "                                   say what answers and which keys to write\n"
               "Texts are given as they are, integers as decimal numbers; answer buffers and\n"
               "integer results take no argument and are printed after the call.\n");
}

// After a -5: why the driver's port cannot be opened, found by trying it the same way
// (the driver itself may only report the code).
void PrintPortProblem() {
  common::IniFile ini(common::orvik_ini_path());
  if (ini.read("Sistema", "ModeloImp", "ORVIK_KAP") == "ORVIK_VUNO_LPT") return;
  const std::string porta = ini.read("Sistema", "Porta", "COM1");
  const std::string device = common::serial_device_for(ini, porta);
  int error = 0;
  const common::OpenProblem problem = common::probe_open(device, &error);
  if (problem == common::OpenProblem::kNone) return;
  std::printf("port %s (%s): %s\n", porta.c_str(), device.c_str(),
              common::open_problem_advice(problem, error).c_str());
}

int Search(int argc, char** argv) {
  std::vector<std::string> devices(argv + 2, argv + argc);
  if (devices.empty()) devices = orvik_cli::DevicesToSearch();
  if (devices.empty()) std::printf("no serial devices found\n");
  // Every line at once: a silent one costs seconds of time-outs, and there may be dozens.
  std::vector<std::future<orvik_cli::Found>> found;
  for (const std::string& d : devices)
    found.push_back(std::async(std::launch::async, orvik_cli::SearchDevice, d));
  for (auto& f : found) {
    orvik_cli::PrintFound(f.get(), stdout);
    std::fflush(stdout);
  }
  return 0;
}

// liborvik.so from ../lib beside this program, else wherever the loader finds it.
void* LoadDriver(std::string& error) {
  const std::string beside =
      (common::executable_folder() / ".." / "lib" / "liborvik.so").lexically_normal().string();
  for (const std::string& path :
       {beside, std::string("liborvik.so.1"), std::string("liborvik.so")}) {
    if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    const char* why = dlerror();
    if (error.empty() && why) error = why;
  }
  return nullptr;
}

int Run(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string_view first = argv[1];
  if (first == "--help" || first == "-h") {
    PrintUsage(stdout);
    return 0;
  }
  if (first == "--list") {
    for (const Export& e : kExports) std::printf("int %s%s\n", e.name, e.parameters);
    return 0;
  }
  if (first == "--procura") return Search(argc, argv);
  const Export* target = Find(first);
  if (!target) {
    std::fprintf(stderr, "orvik-cli: unknown export %s (see orvik-cli --list)\n", argv[1]);
    return 2;
  }
  const size_t given = static_cast<size_t>(argc - 2);
  if (given != target->inputs) {
    std::fprintf(stderr, "orvik-cli: %s takes %zu argument(s), %zu given: int %s%s\n", target->name,
                 target->inputs, given, target->name, target->parameters);
    return 2;
  }
  std::vector<std::string> inputs;
  for (int i = 2; i < argc; ++i) inputs.push_back(common::utf8_to_cp1252(argv[i]));

  std::string error;
  void* driver = LoadDriver(error);
  if (!driver) {
    std::fprintf(stderr, "orvik-cli: cannot load liborvik.so: %s\n", error.c_str());
    return 1;
  }
  void* symbol = dlsym(driver, target->name);
  void* last_result = dlsym(driver, "Orvik_RetornoImpressora");
  if (!symbol || !last_result) {
    std::fprintf(stderr, "orvik-cli: the loaded liborvik.so lacks %s\n",
                 symbol ? "Orvik_RetornoImpressora" : target->name);
    return 1;
  }

  Call call(std::move(inputs));
  int result = 0;
  try {
    result = target->invoke(symbol, call);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "orvik-cli: %s\n", e.what());
    return 2;
  }
  std::printf("result: %d\n", result);
  call.Print(ParameterNames(target->parameters));

  int code = 0;
  std::vector<char> message(kBufferSize, '\0');
  reinterpret_cast<decltype(&::Orvik_RetornoImpressora)>(last_result)(&code, message.data());
  std::printf("last return code: %d\n", code);
  std::printf("last message: %s\n", common::cp1252_to_utf8(message.data()).c_str());
  if (result == -5 || code == -5) PrintPortProblem();
  return 0;
}

}  // namespace

// A reader that went away (orvik-cli --list | head) is not a failure of the tool: the
// call has been made, only its printout has nowhere to go. Any other failure to write
// (a full disk) is said.
int FinishOutput(int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int why = errno;
  struct stat st {};
  const bool pipe_out =
      fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
  if (why == EPIPE || (why == 0 && pipe_out)) return status;
  std::fprintf(stderr, "orvik-cli: cannot write the answer: %s\n",
               why ? std::strerror(why) : "write error");
  return status == 0 ? 1 : status;
}

int main(int argc, char** argv) {
  // Writes to a closed pipe fail with EPIPE instead of killing the process halfway
  // through an export.
  signal(SIGPIPE, SIG_IGN);
  int status = 1;
  try {
    status = Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvik-cli: %s\n", e.what());
  }
  return FinishOutput(status);
}
