#pragma once
// How an export reaches its routine. Every export is one call of the helpers below:
//   Dispatch(__func__, lumvar_routine, qvx_routine, args...)
//   Query(__func__, writer, lumvar_routine, qvx_routine, args...)
// The text arguments are copied (null counts as empty) before any routine runs, the
// model family picks the routine, and a query's writer runs after it whatever it
// returned. A routine is any callable taking the copied arguments in order: texts as
// const std::string&, integers as int, caller buffers as char*, results as int*.
// A routine not built yet is marked kNotBuilt; building it means putting it in that
// place, e.g. Dispatch(__func__, lumvar::AbreCupom, qvx::AbreCupom, id).
// No C++ exception leaves an export: a routine that throws answers 0 with its error as
// the last message.
#include <exception>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"

namespace orvik::exports {

// The family has no routine for this export.
struct NoRoutine {};
inline constexpr NoRoutine kNoRoutine{};

// The family has a routine for this export but it is not built yet; until it is, the
// export answers as for a family without a routine.
struct NotBuilt {};
inline constexpr NotBuilt kNotBuilt{};

template <class R>
inline constexpr bool kMissing =
    std::is_same_v<std::decay_t<R>, NoRoutine> || std::is_same_v<std::decay_t<R>, NotBuilt>;

// Model families.
inline bool IsLumvar() {
  return core::State().model_family == 0;
}
inline bool IsQvx() {
  const auto family = core::State().model_family;
  return family == 1 || family == 2;
}
inline bool IsVuno() {
  const auto family = core::State().model_family;
  return family == 4 || family == 5;
}

// Label of the not-implemented path for an export the current family has no routine
// for: the export's name for the QVX families, a blank and the name for the others.
std::string MissingLabel(std::string_view name);

// The not-implemented path for the export in the current family. It also empties the
// second return value, so that a two-answer query never hands back the second answer
// of an earlier query.
int NotImplementedHere(std::string_view name);

// The command-missing path for a query: both return values are emptied first, so the
// writer that follows does not copy out an earlier query's answer.
int QueryCommandMissing(std::string_view label);

// An exception that escaped a routine: logged, kept as the last message; answers 0.
int Failed(std::string_view name, const char* what) noexcept;

// Runs body, turning any exception into Failed().
template <class Body>
int Guarded(std::string_view name, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    return Failed(name, e.what());
  } catch (...) {
    return Failed(name, "erro desconhecido");
  }
}

// Argument copies: texts become owned strings, everything else passes unchanged.
inline std::string Copy(const char* text) {
  return text ? std::string(text) : std::string();
}
inline char* Copy(char* buffer) {
  return buffer;
}
inline int* Copy(int* result) {
  return result;
}
inline int Copy(int value) {
  return value;
}

// Raw bytes that may hold zero bytes: the first count of them; nothing for a null
// pointer or a count below 1.
std::string CopyBytes(const char* bytes, int count);

// A byte argument with its count, copied as CopyBytes does.
struct RawBytes {
  const char* bytes;
  int count;
};
inline std::string Copy(RawBytes raw) {
  return CopyBytes(raw.bytes, raw.count);
}

template <class Routine, class Tuple>
int Run(std::string_view name, Routine&& routine, Tuple& args) {
  if constexpr (kMissing<Routine>) {
    return NotImplementedHere(name);
  } else {
    return std::apply(routine, args);
  }
}

// ECF exports: family 0 runs the Lumvar routine, families 1 and 2 the QVX routine, the
// other families take the not-implemented path.
template <class Lumvar, class Qvx, class... Args>
int Dispatch(std::string_view name, Lumvar&& lumvar, Qvx&& qvx, Args... args) {
  return Guarded(name, [&] {
    auto copies = std::make_tuple(Copy(args)...);
    if (IsLumvar()) return Run(name, lumvar, copies);
    if (IsQvx()) return Run(name, qvx, copies);
    return NotImplementedHere(name);
  });
}

// Exports whose behaviour does not depend on the model family: one routine for all.
template <class Routine, class... Args>
int AnyFamily(std::string_view name, Routine&& routine, Args... args) {
  return Guarded(name, [&] {
    auto copies = std::make_tuple(Copy(args)...);
    return Run(name, routine, copies);
  });
}

// Runs a query's writer (guarded like a routine) after a routine that answered `result`,
// and gives the export's answer: an answer that could not reach RETORNO.TXT is no success.
template <class Writer>
int Write(std::string_view name, Writer&& writer, int result) {
  core::TakeReturnFileFailure();
  Guarded(name, [&] {
    writer();
    return 0;
  });
  return core::SettleReturnFile(result);
}

// A query export: the routine as Dispatch, then the writer, always.
template <class Writer, class Lumvar, class Qvx, class... Args>
int Query(std::string_view name, Writer&& writer, Lumvar&& lumvar, Qvx&& qvx, Args... args) {
  const int result = Dispatch(name, lumvar, qvx, args...);
  return Write(name, writer, result);
}

// Writers of the return values (see orvik/core/frame_support.h), as query arguments.
inline auto AsIs(char* buffer) {
  return [buffer] { core::WriteAsIs(buffer); };
}
inline auto DigitsOf(char* buffer, int n) {
  return [buffer, n] { core::WriteDigits(buffer, n); };
}
inline auto TextOf(char* buffer, int n) {
  return [buffer, n] { core::WriteText(buffer, n); };
}
// Two writers in order (first answer, then second).
template <class First, class Second>
auto Both(First first, Second second) {
  return [first, second] {
    first();
    second();
  };
}
inline auto SecondAsIs(char* buffer) {
  return [buffer] { core::WriteSecondAsIs(buffer); };
}
inline auto SecondDigits(char* buffer, int n) {
  return [buffer, n] { core::WriteSecondDigits(buffer, n); };
}
inline auto SecondText(char* buffer, int n) {
  return [buffer, n] { core::WriteSecondText(buffer, n); };
}

}  // namespace orvik::exports
