#include "sintegra/tipos.h"

namespace sintegra {

RecordKindCode KindCode(TTipoRegistros kind) {
  switch (kind) {
    case TTipoRegistros::Tipo10:
      return {"10", ""};
    case TTipoRegistros::Tipo11:
      return {"11", ""};
    case TTipoRegistros::Tipo50:
      return {"50", ""};
    case TTipoRegistros::Tipo54:
      return {"54", ""};
    case TTipoRegistros::Tipo60A:
      return {"60", "A"};
    case TTipoRegistros::Tipo60D:
      return {"60", "D"};
    case TTipoRegistros::Tipo60I:
      return {"60", "I"};
    case TTipoRegistros::Tipo60M:
      return {"60", "M"};
    case TTipoRegistros::Tipo60R:
      return {"60", "R"};
    case TTipoRegistros::Tipo74:
      return {"74", ""};
    case TTipoRegistros::Tipo75:
      return {"75", ""};
    case TTipoRegistros::Tipo90:
      return {"90", ""};
    case TTipoRegistros::TipoInvalido:
      break;
  }
  return {"", ""};
}

std::string KindName(TTipoRegistros kind) {
  RecordKindCode code = KindCode(kind);
  return std::string(code.type) + std::string(code.subtype);
}

std::optional<TTipoRegistros> KindFromName(std::string_view name) {
  for (TTipoRegistros kind : kAllRecordKinds) {
    if (KindName(kind) == name) return kind;
  }
  return std::nullopt;
}

TTipoRegistros KindOfLine(std::string_view line) {
  std::string_view type = line.substr(0, 2);
  if (type == "10") return TTipoRegistros::Tipo10;
  if (type == "11") return TTipoRegistros::Tipo11;
  if (type == "50") return TTipoRegistros::Tipo50;
  if (type == "54") return TTipoRegistros::Tipo54;
  if (type == "74") return TTipoRegistros::Tipo74;
  if (type == "75") return TTipoRegistros::Tipo75;
  if (type == "90") return TTipoRegistros::Tipo90;
  if (type == "60" && line.size() >= 3) {
    switch (line[2]) {
      case 'M':
        return TTipoRegistros::Tipo60M;
      case 'R':
        return TTipoRegistros::Tipo60R;
      case 'D':
        return TTipoRegistros::Tipo60D;
      case 'I':
        return TTipoRegistros::Tipo60I;
      case 'A':
        return TTipoRegistros::Tipo60A;
      default:
        break;
    }
  }
  return TTipoRegistros::TipoInvalido;
}

}  // namespace sintegra
