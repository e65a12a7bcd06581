#include "orvik/lumvar/reply.h"

#include "common/text1252.h"
#include "orvik/core/text_forms.h"

namespace orvik::lumvar {
namespace {

constexpr size_t npos = std::string_view::npos;

// The text of results after marker (looked up in upper) up to the next stop character.
std::string After(std::string_view results, std::string_view upper, std::string_view marker,
                  std::string_view stops) {
  const size_t at = upper.find(marker);
  if (at == npos) return {};
  const size_t from = at + marker.size();
  const size_t to = results.find_first_of(stops, from);
  return std::string(results.substr(from, to == npos ? npos : to - from));
}

// results without its first `head` characters and its last one.
std::string Inner(std::string_view results, size_t head) {
  if (results.size() <= head) return {};
  return std::string(results.substr(head, results.size() - head - 1));
}

}  // namespace

ReplyParts SplitReply(std::string_view reply) {
  ReplyParts parts;
  const size_t first = reply.find(';');
  if (first == npos) return parts;
  const size_t second = reply.find(';', first + 1);
  if (second == npos) return parts;
  parts.code = std::string(reply.substr(first + 1, second - first - 1));
  // The last ';' is looked for from the next-to-last character back, so a ';' inside the
  // results does not cut them.
  if (reply.size() >= 2) {
    const size_t last = reply.rfind(';', reply.size() - 2);
    if (last != npos && last > second)
      parts.results = std::string(reply.substr(second + 1, last - second - 1));
  }
  return parts;
}

std::string ErrorMessage(std::string_view results) {
  size_t q[4];
  size_t found = 0;
  for (size_t i = 0; i < results.size() && found < 4; ++i)
    if (results[i] == '"') q[found++] = i;
  std::string first, second;
  if (found >= 2) first = std::string(results.substr(q[0] + 1, q[1] - q[0] - 1));
  if (found >= 4) second = std::string(results.substr(q[2] + 1, q[3] - q[2] - 1));
  return first + " - " + second;
}

ReadOutputs ExtractRead(std::string_view results, int rate_kind_filter) {
  const std::string upper = common::cp1252_upper(results);
  auto starts = [&](std::string_view kind) { return upper.rfind(kind, 0) == 0; };
  ReadOutputs out;
  if (starts("TEXTOIMPRESSAO")) {
    out.value = Inner(results, 16);
  } else if (starts("CODGERENCIAL")) {
    out.value = After(results, upper, "NOMEGERENCIAL=\"", "\"");
  } else if (starts("CODDEPARTAMENTO")) {
    out.value = After(results, upper, "NOMEDEPARTAMENTO=\"", "\"");
  } else if (starts("VALORMOEDA")) {
    out.value = core::Digits(results);
    out.value.erase(out.value.size() >= 2 ? out.value.size() - 2 : 0);
  } else if (starts("VALORNUMERICOINDICADOR")) {
    out.value = core::Digits(results);
  } else if (starts("VALORTEXTO")) {
    out.value = Inner(results, 12);
  } else if (starts("CODMEIOPAGAMENTO")) {
    out.value = After(results, upper, "NOMEMEIOPAGAMENTO=\"", "\"");
    out.code = After(results, upper, "CODMEIOPAGAMENTOPROGRAM=", " ");
    out.flag = After(results, upper, "PERMITEVINCULADO=", "").substr(0, 1);
  } else if (starts("CODNAOFISCAL")) {
    out.value = After(results, upper, "NOMENAOFISCAL=\"", "\"");
    out.code = After(results, upper, "CODNAOFISCAL=", " ");
  } else if (starts("ALIQUOTAICMS")) {
    out.value = After(results, upper, "PERCENTUALALIQUOTA=", "\"");
    if (rate_kind_filter > 0) {
      const std::string kind = After(upper, upper, "ALIQUOTAICMS=", "").substr(0, 1);
      if ((kind == "Y") != (rate_kind_filter >= 3)) out.value.clear();
    }
  } else {
    out.value = core::Digits(results);
  }
  return out;
}

}  // namespace orvik::lumvar
