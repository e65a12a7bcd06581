// The answers of the query exports have the widths the reference gives, so a host that
// sizes its buffers from it never sees the driver write past them.
#include <cctype>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "driver_fixture.h"
#include "orvik/reference/reference.h"

namespace {

namespace ref = orvik::reference;

constexpr size_t kRoom = 64 * 1024;  // far beyond any width, so an overlong answer is seen

// The arguments of one call: inputs from the reference's example forms, buffers of blanks
// of the documented width.
class Arguments {
 public:
  Arguments(const ref::Entry& e, const ref::Reference& r) : entry_(e), reference_(r) {}

  template <class T>
  T Next();

  struct Buffer {
    std::string name;
    std::vector<char>* bytes;
  };
  std::vector<Buffer> buffers;

 private:
  const ref::Parameter& Current() { return entry_.parameters.at(position_++); }
  const ref::Entry& entry_;
  const ref::Reference& reference_;
  size_t position_ = 0;
  std::deque<std::vector<char>> storage_;
  std::deque<int> integers_;
};

template <>
const char* Arguments::Next<const char*>() {
  const ref::Parameter& p = Current();
  const std::string text = ref::ExampleText(entry_.FormOf(p.name, reference_.shared_forms));
  std::vector<char>& v = storage_.emplace_back(text.begin(), text.end());
  v.push_back('\0');
  return v.data();
}
template <>
int Arguments::Next<int>() {
  return ref::ExampleInteger(entry_.FormOf(Current().name, reference_.shared_forms));
}
template <>
char* Arguments::Next<char*>() {
  const ref::Parameter& p = Current();
  const ref::Answer* a = entry_.AnswerFor(p.name);
  std::vector<char>& v = storage_.emplace_back(kRoom, '\0');
  std::memset(v.data(), ' ', a ? static_cast<size_t>(a->width) : 0);
  buffers.push_back({p.name, &v});
  return v.data();
}
template <>
int* Arguments::Next<int*>() {
  Current();
  return &integers_.emplace_back(0);
}

template <class F>
struct Caller;
template <class... A>
struct Caller<int ORVIK_CALL(A...)> {
  static int Call(void* symbol, Arguments& args) {
    std::tuple<A...> values{args.Next<A>()...};
    return std::apply(reinterpret_cast<int(ORVIK_CALL*)(A...)>(symbol), values);
  }
};

using Invoker = int (*)(void*, Arguments&);
const std::map<std::string, Invoker>& Invokers() {
  static const std::map<std::string, Invoker> invokers = {
#define ORVIK_EXPORT(group, name, params) {#name, &Caller<decltype(::name)>::Call},
#include "orvik/exports.def"
#undef ORVIK_EXPORT
  };
  return invokers;
}

// Exports whose answer comes from elsewhere than the printer's registers: the outside
// memory-reading library (its own tests cover it) and the answer file of the last query.
const std::set<std::string> kNotQueries = {"Orvik_GeraRFDBinario", "Orvik_LeArquivoRetorno"};

class ReferenceWidths : public orvik_testing::DriverOverPty {};

TEST_F(ReferenceWidths, EveryQueryAnswerHasItsDocumentedWidth) {
  std::ifstream in(ORVIK_REFERENCE_FILE, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> problems;
  const ref::Reference reference = ref::Load(text.str(), problems);
  ASSERT_TRUE(problems.empty()) << problems.front();

  Load();
  // A shop's day: rates and a card form programmed, a coupon sold, the Z.
  run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  run("DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=5,00 AliquotaICMS=false");
  run("DefineMeioPagamento", "NomeMeioPagamento=\"Cartao\" PermiteVinculado=true");
  ASSERT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "18,00", "I", "2", 2, "10,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Dinheiro", "20,00"), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)(""), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_ReducaoZ)("", ""), 1) << last();

  int checked = 0;
  for (const ref::Entry& e : reference.entries) {
    if (!e.Works('L') || kNotQueries.count(e.name)) continue;
    bool answers_text = false;
    for (const ref::Parameter& p : e.parameters) {
      const ref::Answer* a = e.AnswerFor(p.name);
      answers_text = answers_text || (p.is_buffer() && a && a->kind != '-');
    }
    if (!answers_text) continue;
    SCOPED_TRACE(e.name);
    Arguments args(e, reference);
    const int rc = Invokers().at(e.name)(fn<void>(e.name.c_str()), args);
    ++checked;
    for (const Arguments::Buffer& b : args.buffers) {
      const ref::Answer* a = e.AnswerFor(b.name);
      if (a->kind == '-') continue;
      const std::string answer(b.bytes->data());
      const std::string where = e.name + " " + b.name + " = \"" + answer + "\" (result " +
                                std::to_string(rc) + ", " + last() + ")";
      if (a->kind == '<') {
        EXPECT_LE(answer.size(), static_cast<size_t>(a->width)) << where;
      } else {
        EXPECT_EQ(answer.size(), static_cast<size_t>(a->width)) << where;
      }
      if (a->kind == 'd') {
        for (char c : answer) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c))) << where;
      }
    }
  }
  // Every Lumvar query of the reference was called.
  EXPECT_GT(checked, 80);
}

}  // namespace
