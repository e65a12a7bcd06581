#include "sintegra/validador.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>

#include "common/text1252.h"
#include "sintegra/error.h"
#include "sintegra/identidades.h"
#include "sintegra/registro.h"
#include "sintegra/tipos.h"

namespace sintegra {

namespace {

constexpr size_t kLargura = 126;
// The most of a line that is kept: enough to tell its type and that it is too long.
constexpr size_t kMaiorLinhaGuardada = 4096;

// The fields of one record kind: columns and kinds from the record classes, names here.
struct CampoInfo {
  std::string nome;
  int inicio = 0;
  int tamanho = 0;
  char formato = '\0';
};
using Layout = std::vector<CampoInfo>;

const std::vector<std::vector<const char*>>& NomesDosCampos() {
  static const std::vector<std::vector<const char*>> nomes = {
      // 10
      {"Tipo", "CNPJ", "Inscrição Estadual", "Razão Social", "Município", "UF", "Fax",
       "Data Inicial", "Data Final", "Código do Convênio", "Natureza das Operações", "Finalidade"},
      // 11
      {"Tipo", "Logradouro", "Número", "Complemento", "Bairro", "CEP", "Nome do Contato",
       "Telefone"},
      // 50
      {"Tipo", "CNPJ", "Inscrição Estadual", "Data de Emissão", "UF", "Modelo", "Série", "Número",
       "CFOP", "Emitente", "Valor Total", "Base de Cálculo do ICMS", "Valor do ICMS",
       "Isenta ou Não Tributada", "Outras", "Alíquota", "Situação"},
      // 54
      {"Tipo", "CNPJ", "Modelo", "Série", "Número", "CFOP", "CST", "Número do Item",
       "Código do Produto", "Quantidade", "Valor do Produto", "Desconto/Despesa Acessória",
       "Base de Cálculo do ICMS", "Base de Cálculo do ICMS ST", "Valor do IPI", "Alíquota"},
      // 60A
      {"Tipo", "Subtipo", "Data de Emissão", "Número de Série do ECF",
       "Situação Tributária/Alíquota", "Valor Acumulado", "Brancos"},
      // 60D
      {"Tipo", "Subtipo", "Data de Emissão", "Número de Série do ECF", "Código do Produto",
       "Quantidade", "Valor", "Base de Cálculo do ICMS", "Situação Tributária/Alíquota",
       "Valor do ICMS", "Brancos"},
      // 60I
      {"Tipo", "Subtipo", "Data de Emissão", "Número de Série do ECF", "Modelo", "COO",
       "Número do Item", "Código do Produto", "Quantidade", "Valor", "Base de Cálculo do ICMS",
       "Situação Tributária/Alíquota", "Valor do ICMS", "Brancos"},
      // 60M
      {"Tipo", "Subtipo", "Data de Emissão", "Número de Série do ECF", "Número de Ordem do ECF",
       "Modelo", "COO Inicial", "COO Final", "CRZ", "CRO", "Venda Bruta", "Grande Total",
       "Brancos"},
      // 60R
      {"Tipo", "Subtipo", "Mês/Ano", "Código do Produto", "Quantidade", "Valor",
       "Base de Cálculo do ICMS", "Situação Tributária/Alíquota", "Brancos"},
      // 74
      {"Tipo", "Data do Inventário", "Código do Produto", "Quantidade", "Valor do Produto",
       "Código de Posse", "CNPJ do Possuidor/Proprietário",
       "Inscrição Estadual do Possuidor/Proprietário", "UF do Possuidor/Proprietário", "Brancos"},
      // 75
      {"Tipo", "Data Inicial", "Data Final", "Código do Produto", "Código NCM", "Descrição",
       "Unidade", "Alíquota do IPI", "Alíquota do ICMS", "Redução da Base de Cálculo",
       "Base de Cálculo do ICMS ST"},
      // 90
      {"Tipo", "CNPJ", "Inscrição Estadual", "", "", "Totalizador 1", "Totalizador 2",
       "Totalizador 3", "Totalizador 4", "Totalizador 5", "Totalizador 6", "Totalizador 7",
       "Totalizador 8", "Totalizador 9", "Brancos", "Número de Registros 90"},
  };
  return nomes;
}

const std::array<Layout, 12>& Layouts() {
  static const std::array<Layout, 12> layouts = [] {
    std::array<Layout, 12> t;
    for (TTipoRegistros kind : kAllRecordKinds) {
      auto registro = TRegistro::CriaRegistro(kind);
      const auto& nomes = NomesDosCampos()[static_cast<size_t>(kind)];
      Layout& l = t[static_cast<size_t>(kind)];
      for (int n = 1; n <= registro->FieldCount(); ++n) {
        TCampo c = registro->Field(n);
        char f = c.Formato == 'n' ? 'N' : (c.Formato == 'x' ? 'X' : c.Formato);
        l.push_back({nomes[static_cast<size_t>(n - 1)], c.Inicio, c.Tamanho, f});
      }
    }
    // The ECF model ("2B", "2C", "2D") holds letters, whatever the record class keeps.
    t[static_cast<size_t>(TTipoRegistros::Tipo60M)][5].formato = 'X';
    return t;
  }();
  return layouts;
}

// The order of the record types in a file (those of the agreement this system does not
// write included, so that their place can be checked too).
int Posicao(std::string_view tipo) {
  static constexpr std::string_view kOrdem[] = {"10", "11", "50", "51", "53", "54", "55",
                                                "56", "57", "60", "61", "70", "71", "74",
                                                "75", "76", "77", "85", "86", "88", "90"};
  for (size_t i = 0; i < std::size(kOrdem); ++i)
    if (kOrdem[i] == tipo) return static_cast<int>(i);
  return -1;
}

bool Digitos(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view TiraBrancosFinais(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}
std::string_view TiraBrancos(std::string_view s) {
  s = TiraBrancosFinais(s);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

// A printable Windows-1252 character: not a control character, not one of the five bytes
// the code page leaves undefined.
bool Imprimivel(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return false;
  return c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D;
}

std::int64_t Numero(std::string_view s) {
  std::int64_t n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

int UltimoDia(int ano, int mes) {
  static constexpr int dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (mes == 2 && ((ano % 4 == 0 && ano % 100 != 0) || ano % 400 == 0)) return 29;
  return dias[mes - 1];
}

// yyyymmdd as a number, or 0 when it is not a date.
int Data(std::string_view s) {
  if (s.size() != 8 || !Digitos(s)) return 0;
  int ano = static_cast<int>(Numero(s.substr(0, 4)));
  int mes = static_cast<int>(Numero(s.substr(4, 2)));
  int dia = static_cast<int>(Numero(s.substr(6, 2)));
  if (ano < 1900 || mes < 1 || mes > 12 || dia < 1 || dia > UltimoDia(ano, mes)) return 0;
  return ano * 10000 + mes * 100 + dia;
}

std::string DataLegivel(int data) {
  char t[16];
  std::snprintf(t, sizeof t, "%02d/%02d/%04d", data % 100, data / 100 % 100, data / 10000);
  return t;
}

std::string Reais(std::int64_t centavos) {
  char t[40];
  std::snprintf(t, sizeof t, "%lld,%02lld", static_cast<long long>(centavos / 100),
                static_cast<long long>(centavos % 100 < 0 ? -(centavos % 100) : centavos % 100));
  return t;
}

// A value of the file quoted in a message.
std::string Texto(std::string_view valor) {
  return "\"" + common::cp1252_to_utf8(valor) + "\"";
}

bool ModeloDeNota(std::string_view m) {
  return m == "01" || m == "03" || m == "04" || m == "06" || m == "21" || m == "22" || m == "55";
}
bool ModeloDeEcf(std::string_view m) {
  return m == "2B" || m == "2C" || m == "2D";
}

// A tax code of the ECF records: a rate of four digits, or one of the situations.
bool CodigoTributarioEcf(std::string_view c, bool aceita_desconto) {
  if (c.size() != 4) return false;
  if (Digitos(c)) return true;
  if (c == "F   " || c == "I   " || c == "N   " || c == "CANC" || c == "ISS ") return true;
  return aceita_desconto && c == "DESC";
}

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <typename V>
using MapaTexto = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

}  // namespace

struct ValidadorSintegra::Estado {
  DestinoAchados destino;
  std::optional<Periodo> periodo_pedido;
  ContagemAchados contagem;
  std::vector<Achado> ao_fim;
  std::string resto;             // the start of a line not ended yet
  size_t resto_comprimento = 0;  // its real length
  char resto_ultimo = '\0';      // its last character

  // The line in hand.
  std::uint64_t linha = 0;
  std::string_view texto;
  std::string registro;
  const Layout* layout = nullptr;

  // Header and order.
  int inicio_periodo = 0, fim_periodo = 0;  // yyyymmdd; 0 while unknown
  std::string uf_informante, cnpj_informante, ie_informante;
  bool tem10 = false, tem11 = false, viu90 = false, viu60R = false;
  int ultima_posicao = -1;
  std::string ultimo_tipo;

  // Lines per type ("50" ... "99" for the whole file); type 90 claims.
  std::array<std::uint64_t, 100> por_tipo{};
  std::uint64_t outros_tipos = 0;
  struct Totalizado {
    std::int64_t total = 0;
    std::uint64_t linha = 0;
    int campo = 0;
  };
  std::map<int, Totalizado> totalizados;
  std::vector<std::pair<std::uint64_t, int>> quantidades90;  // line, its column 126

  // Invoices: the 50's key (CNPJ, model, series, number, CFOP).
  struct Nota {
    bool tem50 = false;
    std::uint64_t linha50 = 0;
    int data = 0;
    bool exterior = false;
    std::int64_t total50 = 0;
    std::int64_t soma54 = 0;
    std::uint32_t itens = 0;
  };
  MapaTexto<Nota> notas;
  std::vector<std::pair<std::uint64_t, std::string>> itens_sem_nota;  // line, key

  // Products: the 75's validity ranges and the lines that use a code.
  struct Produto {
    std::vector<std::pair<int, int>> validades;
    std::uint64_t linha75 = 0;
    bool usado = false;
  };
  std::vector<Produto> produtos;
  MapaTexto<std::uint32_t> indice_produto;
  std::vector<std::string> codigos;
  struct Uso {
    std::uint32_t linha;  // a file of four thousand million lines is not a month's
    std::uint32_t produto;
    int de, ate;  // the dates the use needs a 75 for; 0 when unknown
    char registro[4];
  };
  std::vector<Uso> usos;

  // ECF days: the date and the serial number of the ECF.
  struct Dia {
    bool tem60M = false;
    std::uint64_t linha60M = 0;
    std::int64_t venda_bruta = 0;
    bool tem60A = false;
    std::int64_t soma60A = 0;
  };
  MapaTexto<Dia> dias;
  struct Reducao {
    int data;
    std::int64_t coo_inicial, coo_final, crz;
    std::uint64_t linha;
  };
  MapaTexto<std::vector<Reducao>> reducoes;  // per ECF serial
  struct SemDia {
    std::uint64_t linha;
    std::string registro, dia;
  };
  std::vector<SemDia> sem_60M;

  // ------------------------------------------------------------------ findings

  Achado Novo(Severidade s, std::string_view regra, int campo, std::string mensagem) const {
    Achado a;
    a.linha = linha;
    a.registro = registro;
    a.severidade = s;
    a.regra = std::string(regra);
    a.mensagem = std::move(mensagem);
    if (campo > 0 && layout != nullptr && campo <= static_cast<int>(layout->size())) {
      const CampoInfo& c = (*layout)[static_cast<size_t>(campo - 1)];
      a.campo = c.nome;
      a.coluna_inicial = c.inicio;
      a.coluna_final = c.inicio + c.tamanho - 1;
    } else if (campo < 0) {
      a.campo = "Linha";
      a.coluna_inicial = 1;
      a.coluna_final = static_cast<int>(kLargura);
    }
    return a;
  }
  void Conta(const Achado& a) {
    if (a.severidade == Severidade::Erro)
      ++contagem.erros;
    else
      ++contagem.avisos;
  }
  // A finding of the line in hand; campo -1 is the line as a whole, 0 no field.
  void Acha(Severidade s, std::string_view regra, int campo, std::string mensagem) {
    Achado a = Novo(s, regra, campo, std::move(mensagem));
    Conta(a);
    if (destino) destino(a);
  }
  void Erro(std::string_view regra, int campo, std::string mensagem) {
    Acha(Severidade::Erro, regra, campo, std::move(mensagem));
  }
  void Aviso(std::string_view regra, int campo, std::string mensagem) {
    Acha(Severidade::Aviso, regra, campo, std::move(mensagem));
  }
  // A finding known only at the end of the file, at the line and field given.
  void Depois(Severidade s, std::uint64_t em, std::string registro_de, const Layout* layout_de,
              std::string_view regra, int campo, std::string mensagem) {
    std::uint64_t l = linha;
    std::string r = registro;
    const Layout* lay = layout;
    linha = em;
    registro = std::move(registro_de);
    layout = layout_de;
    ao_fim.push_back(Novo(s, regra, campo, std::move(mensagem)));
    linha = l;
    registro = std::move(r);
    layout = lay;
  }
  static const Layout* LayoutDe(std::string_view nome) {
    auto kind = KindFromName(nome);
    return kind ? &Layouts()[static_cast<size_t>(*kind)] : nullptr;
  }

  // ------------------------------------------------------------------ fields

  std::string_view Campo(int n) const {
    const CampoInfo& c = (*layout)[static_cast<size_t>(n - 1)];
    return texto.substr(static_cast<size_t>(c.inicio - 1), static_cast<size_t>(c.tamanho));
  }
  std::string_view Valor(int n) const { return TiraBrancos(Campo(n)); }

  // Date of field n: an error when it is not a date; 0 then.
  int DataDoCampo(int n) {
    int d = Data(Campo(n));
    if (d == 0) Erro("data", n, "data inválida: " + Texto(Campo(n)) + " (formato AAAAMMDD)");
    return d;
  }
  void DataNoPeriodo(int n, int d, std::string_view regra) {
    if (d == 0 || inicio_periodo == 0) return;
    if (d < inicio_periodo || d > fim_periodo)
      Erro(regra, n,
           "data " + DataLegivel(d) + " fora do período de " + DataLegivel(inicio_periodo) + " a " +
               DataLegivel(fim_periodo));
  }

  // CNPJ of another party, or a CPF (three zeros and eleven digits) where allowed.
  void CnpjOuCpf(int n, bool aceita_zeros) {
    std::string_view c = Campo(n);
    if (aceita_zeros && c == "00000000000000") return;
    if (CnpjValido(c)) return;
    if (c.substr(0, 3) == "000" && CpfValido(c.substr(3))) return;
    Erro("cnpj", n, "CNPJ/CPF inválido: " + Texto(c) + " (dígitos verificadores não conferem)");
  }
  void Ie(int n, std::string_view uf) {
    std::string_view ie = Valor(n);
    if (ie.empty()) {
      Erro("ie", n, "inscrição estadual em branco (informe-a ou \"ISENTO\")");
      return;
    }
    if (!InscricaoEstadualValida(uf, ie))
      Erro("ie", n,
           "inscrição estadual " + Texto(ie) + " inválida para a UF " + std::string(uf) +
               " (dígitos verificadores ou formato)");
  }
  bool Uf(int n, bool aceita_exterior) {
    std::string_view uf = Campo(n);
    if (UfValida(uf) || (aceita_exterior && uf == "EX")) return true;
    Erro("uf", n, "UF inválida: " + Texto(uf));
    return false;
  }
  // The CFOP of field n: in the table, and its first digit by the place of the other party.
  void Cfop(int n, std::string_view uf_outra_parte, bool emitida_por_terceiros) {
    std::string_view c = Campo(n);
    if (!Digitos(c)) return;  // the digits rule said so already
    int cfop = static_cast<int>(Numero(c));
    if (!CfopExiste(cfop)) {
      Erro("cfop", n, "CFOP " + std::string(c) + " não existe na tabela de CFOP");
      return;
    }
    int primeiro = cfop / 1000;
    if (emitida_por_terceiros && primeiro >= 5)
      Erro("cfop.direcao", n,
           "CFOP de saída (" + std::string(c) +
               ") numa nota emitida por terceiros; as entradas "
               "usam CFOP iniciado por 1, 2 ou 3");
    if (uf_outra_parte.empty() || uf_informante.empty()) return;
    bool exterior = uf_outra_parte == "EX";
    bool mesma_uf = uf_outra_parte == uf_informante;
    int lugar = primeiro >= 5 ? primeiro - 4 : primeiro;  // 1 state, 2 other state, 3 abroad
    const char* esperado = nullptr;
    if (lugar == 1 && !mesma_uf) esperado = "dentro do estado do informante";
    if (lugar == 2 && (mesma_uf || exterior)) esperado = "com outro estado";
    if (lugar == 3 && !exterior) esperado = "com o exterior (UF EX)";
    if (esperado)
      Erro("cfop.local", n,
           "CFOP " + std::string(c) + " é de operação " + esperado + ", mas a UF é " +
               std::string(uf_outra_parte));
  }
  void UsaProduto(int n, int de, int ate) {
    std::string_view codigo = Valor(n);
    if (codigo.empty()) {
      Erro("produto", n, "código do produto em branco");
      return;
    }
    Uso u{static_cast<std::uint32_t>(linha), IndiceProduto(codigo), de, ate, {}};
    std::memcpy(u.registro, registro.c_str(), std::min<size_t>(registro.size() + 1, 4));
    usos.push_back(u);
  }
  std::uint32_t IndiceProduto(std::string_view codigo) {
    auto it = indice_produto.find(codigo);
    if (it != indice_produto.end()) return it->second;
    auto i = static_cast<std::uint32_t>(produtos.size());
    produtos.emplace_back();
    codigos.emplace_back(codigo);
    indice_produto.emplace(std::string(codigo), i);
    return i;
  }
  // The ECF day of a 60A, 60D or 60I: noted for the check that its 60M exists.
  Dia& DiaDoEcf() {
    std::string chave(texto.substr(3, 28));  // date and serial number
    auto [it, novo] = dias.try_emplace(chave);
    if (!it->second.tem60M) sem_60M.push_back({linha, registro, chave});
    return it->second;
  }

  // ------------------------------------------------------------------ lines

  // A line without its LF; comprimento is its real length, of which bruta may hold only the
  // start (a line far longer than a record is not kept whole).
  void Linha(std::string_view bruta, bool terminada, size_t comprimento, char ultimo) {
    linha = ++contagem.linhas;
    registro.clear();
    layout = nullptr;
    texto = bruta.substr(0, kMaiorLinhaGuardada);
    bool cr = comprimento > 0 && ultimo == '\r';
    if (cr) {
      --comprimento;
      if (texto.size() > comprimento) texto.remove_suffix(1);
    }

    std::string_view tipo = texto.substr(0, 2);
    TTipoRegistros kind = KindOfLine(texto);
    if (kind != TTipoRegistros::TipoInvalido) {
      registro = KindName(kind);
      layout = &Layouts()[static_cast<size_t>(kind)];
    } else {
      registro = std::string(tipo);
    }
    if (!terminada || !cr) Erro("linha.fim", -1, "a linha não termina com CR LF");
    if (tipo.size() == 2 && Digitos(tipo))
      ++por_tipo[static_cast<size_t>(Numero(tipo))];
    else
      ++outros_tipos;

    int posicao = Posicao(tipo);
    if (posicao < 0 || (tipo == "60" && kind == TTipoRegistros::TipoInvalido)) {
      Erro("registro.tipo", -1, "tipo de registro desconhecido: " + Texto(texto.substr(0, 3)));
      registro.clear();
      Ordem(posicao, tipo);
      return;
    }
    Ordem(posicao, tipo);
    if (comprimento != kLargura) {
      Erro("linha.tamanho", -1,
           "a linha tem " + std::to_string(comprimento) + " caracteres; devem ser 126");
      return;
    }
    if (layout == nullptr) {
      Aviso("registro.nao-verificado", -1,
            "registro tipo " + std::string(tipo) + " não é conferido por este validador");
      return;
    }
    bool formato_ok = Formatos();
    switch (kind) {
      case TTipoRegistros::Tipo10:
        Tipo10();
        break;
      case TTipoRegistros::Tipo11:
        Tipo11();
        break;
      case TTipoRegistros::Tipo50:
        Tipo50(formato_ok);
        break;
      case TTipoRegistros::Tipo54:
        Tipo54();
        break;
      case TTipoRegistros::Tipo60M:
        Tipo60M();
        break;
      case TTipoRegistros::Tipo60A:
        Tipo60A();
        break;
      case TTipoRegistros::Tipo60D:
        Tipo60D();
        break;
      case TTipoRegistros::Tipo60I:
        Tipo60I();
        break;
      case TTipoRegistros::Tipo60R:
        Tipo60R();
        break;
      case TTipoRegistros::Tipo74:
        Tipo74();
        break;
      case TTipoRegistros::Tipo75:
        Tipo75();
        break;
      case TTipoRegistros::Tipo90:
        Tipo90();
        break;
      default:
        break;
    }
  }

  void Ordem(int posicao, std::string_view tipo) {
    if (linha == 1 && tipo != "10")
      Erro("cabecalho", -1, "a primeira linha deve ser o registro tipo 10");
    if (linha == 2 && tipo != "11")
      Erro("cabecalho", -1, "a segunda linha deve ser o registro tipo 11");
    if (tipo == "10" && linha != 1)
      Erro("cabecalho", -1, "registro tipo 10 fora da primeira linha");
    if (tipo == "11" && linha != 2) Erro("cabecalho", -1, "registro tipo 11 fora da segunda linha");
    if (viu90 && tipo != "90")
      Erro("90.ultimo", -1, "registro depois do registro tipo 90, que deve ser o último");
    if (posicao >= 0) {
      if (posicao < ultima_posicao)
        Erro("ordem", -1,
             "registro tipo " + std::string(tipo) +
                 " fora de ordem: vem depois de registros tipo " + ultimo_tipo);
      if (posicao > ultima_posicao) {
        ultima_posicao = posicao;
        ultimo_tipo = std::string(tipo);
      }
    }
    if (registro == "60R") viu60R = true;
    if (viu60R && tipo == "60" && registro != "60R" && !registro.empty())
      Erro("ordem", -1, "registro " + registro + " depois dos registros 60R, que vêm por último");
    if (tipo == "90") viu90 = true;
  }

  // Digits in N fields, printable characters in X fields. False when a field failed.
  bool Formatos() {
    bool ok = true;
    for (size_t i = 1; i < layout->size(); ++i) {
      const CampoInfo& c = (*layout)[i];
      if (c.tamanho == 0) continue;
      std::string_view v =
          texto.substr(static_cast<size_t>(c.inicio - 1), static_cast<size_t>(c.tamanho));
      int n = static_cast<int>(i + 1);
      if (c.formato == 'N' && !Digitos(v)) {
        Erro("campo.numerico", n, "campo numérico com caracteres que não são dígitos: " + Texto(v));
        ok = false;
      } else if (c.formato == 'X' && !std::all_of(v.begin(), v.end(), [](char x) {
                   return Imprimivel(static_cast<unsigned char>(x));
                 })) {
        Erro("campo.texto", n, "campo alfanumérico com caracteres de controle");
        ok = false;
      }
    }
    return ok;
  }

  void Tipo10() {
    tem10 = true;
    if (!CnpjValido(Campo(2)))
      Erro("cnpj", 2,
           "CNPJ inválido: " + Texto(Campo(2)) + " (dígitos verificadores não conferem)");
    if (Uf(6, false)) Ie(3, Campo(6));
    uf_informante = std::string(Campo(6));
    cnpj_informante = std::string(Campo(2));
    ie_informante = std::string(Campo(3));
    int de = DataDoCampo(8), ate = DataDoCampo(9);
    if (de != 0 && ate != 0) {
      int ano = de / 10000, mes = de / 100 % 100;
      if (de % 100 != 1 || ate != ano * 10000 + mes * 100 + UltimoDia(ano, mes))
        Erro("10.periodo", 8,
             "o período de " + DataLegivel(de) + " a " + DataLegivel(ate) +
                 " não vai do primeiro ao último dia de um mês");
      if (periodo_pedido && (periodo_pedido->ano != ano || periodo_pedido->mes != mes)) {
        char t[64];
        std::snprintf(t, sizeof t, "%02d/%04d", periodo_pedido->mes, periodo_pedido->ano);
        Erro("10.periodo", 8,
             "o período declarado começa em " + DataLegivel(de) + ", fora do período pedido " + t);
      }
      if (!periodo_pedido) {
        inicio_periodo = de;
        fim_periodo = ate;
      }
    }
    std::string_view convenio = Campo(10), natureza = Campo(11), finalidade = Campo(12);
    if (convenio != "1" && convenio != "2" && convenio != "3")
      Erro("10.convenio", 10, "código do convênio inválido: " + Texto(convenio) + " (1, 2 ou 3)");
    if (natureza != "1" && natureza != "2" && natureza != "3")
      Erro("10.natureza", 11,
           "natureza das operações inválida: " + Texto(natureza) + " (1, 2 ou 3)");
    if (finalidade != "1" && finalidade != "2" && finalidade != "3" && finalidade != "5")
      Erro("10.finalidade", 12,
           "finalidade do arquivo inválida: " + Texto(finalidade) + " (1, 2, 3 ou 5)");
  }

  void Tipo11() {
    tem11 = true;
    if (Digitos(Campo(6)) && !CepValido(Campo(6)))
      Erro("cep", 6, "CEP inválido: " + Texto(Campo(6)) + " (8 dígitos)");
  }

  // The invoice key: CNPJ, model, series, number, CFOP (29 characters), in key_.
  std::string_view ChaveDaNota(std::string_view cnpj, std::string_view modelo,
                               std::string_view serie, std::string_view numero,
                               std::string_view cfop) {
    char* p = chave_.data();
    for (std::string_view parte : {cnpj, modelo, serie, numero, cfop}) {
      std::memcpy(p, parte.data(), parte.size());
      p += parte.size();
    }
    return std::string_view(chave_.data(), static_cast<size_t>(p - chave_.data()));
  }
  std::array<char, 29> chave_{};

  void Tipo50(bool formato_ok) {
    std::string_view uf = Campo(5);
    bool uf_ok = Uf(5, true);
    bool exterior = uf == "EX";
    CnpjOuCpf(2, exterior);
    if (uf_ok && !exterior) Ie(3, uf);
    int data = DataDoCampo(4);
    DataNoPeriodo(4, data, "50.data-periodo");
    if (!ModeloDeNota(Campo(6)))
      Erro("modelo", 6, "modelo de documento inválido: " + Texto(Campo(6)));
    std::string_view emitente = Campo(10);
    if (emitente != "P" && emitente != "T")
      Erro("emitente", 10, "emitente inválido: " + Texto(emitente) + " (P ou T)");
    Cfop(9, uf_ok ? uf : std::string_view(), emitente == "T");
    std::string_view situacao = Campo(17);
    if (situacao.size() != 1 ||
        std::string_view("NSEX24").find(situacao[0]) == std::string_view::npos)
      Erro("situacao", 17, "situação do documento inválida: " + Texto(situacao));
    std::string_view chave = ChaveDaNota(Campo(2), Campo(6), Campo(7), Campo(8), Campo(9));
    auto it = notas.find(chave);
    if (it == notas.end()) it = notas.emplace(std::string(chave), Nota{}).first;
    Nota& nota = it->second;
    if (!nota.tem50) {
      nota.tem50 = true;
      nota.linha50 = linha;
      nota.data = data;
      nota.exterior = exterior;
    }
    if (formato_ok) nota.total50 += Numero(Campo(11));
  }

  void Tipo54() {
    std::string_view chave = ChaveDaNota(Campo(2), Campo(3), Campo(4), Campo(5), Campo(6));
    auto it = notas.find(chave);
    bool tem_nota = it != notas.end() && it->second.tem50;
    CnpjOuCpf(2, tem_nota && it->second.exterior);
    if (!ModeloDeNota(Campo(3)))
      Erro("modelo", 3, "modelo de documento inválido: " + Texto(Campo(3)));
    std::string_view cfop = Campo(6);
    if (Digitos(cfop) && !CfopExiste(static_cast<int>(Numero(cfop))))
      Erro("cfop", 6, "CFOP " + std::string(cfop) + " não existe na tabela de CFOP");
    if (!Digitos(Campo(8))) return;
    int item = static_cast<int>(Numero(Campo(8)));
    if (item == 0) Erro("54.item", 8, "número do item 000 (de 001 a 990, ou 991 a 999)");
    if (it == notas.end()) it = notas.emplace(std::string(chave), Nota{}).first;
    Nota& nota = it->second;
    if (!tem_nota) itens_sem_nota.emplace_back(linha, std::string(chave));
    bool valores = Digitos(Campo(11)) && Digitos(Campo(12)) && Digitos(Campo(15));
    if (valores) {
      if (item >= 991)  // freight, insurance and the other amounts of the invoice
        nota.soma54 += Numero(Campo(11)) + Numero(Campo(12));
      else
        nota.soma54 += Numero(Campo(11)) - Numero(Campo(12)) + Numero(Campo(15));
    }
    ++nota.itens;
    if (item < 991 && item > 0) UsaProduto(9, nota.data, nota.data);
  }

  void DataDoDia(int n) { DataNoPeriodo(n, DataDoCampo(n), "60.data-periodo"); }
  void SerieDoEcf() {
    if (Valor(4).empty()) Erro("60.serie", 4, "número de série do ECF em branco");
  }

  void Tipo60M() {
    int data = DataDoCampo(3);
    DataNoPeriodo(3, data, "60.data-periodo");
    SerieDoEcf();
    if (!ModeloDeEcf(Campo(6)))
      Erro("modelo", 6, "modelo de documento inválido: " + Texto(Campo(6)) + " (2B, 2C ou 2D)");
    bool numeros = Digitos(Campo(7)) && Digitos(Campo(8)) && Digitos(Campo(9));
    if (numeros && Numero(Campo(7)) > Numero(Campo(8)))
      Erro("60M.coo", 7,
           "COO inicial " + std::string(Campo(7)) + " maior que o final " + std::string(Campo(8)));
    std::string chave(texto.substr(3, 28));
    Dia& dia = dias[chave];
    if (dia.tem60M) {
      Erro("60M.dia", 3,
           "segundo registro 60M do mesmo dia e ECF (o primeiro está na linha " +
               std::to_string(dia.linha60M) + ")");
      return;
    }
    dia.tem60M = true;
    dia.linha60M = linha;
    if (Digitos(Campo(11))) dia.venda_bruta = Numero(Campo(11));
    if (numeros && data != 0)
      reducoes[std::string(Campo(4))].push_back(
          {data, Numero(Campo(7)), Numero(Campo(8)), Numero(Campo(9)), linha});
  }

  void Tipo60A() {
    DataDoDia(3);
    SerieDoEcf();
    if (!CodigoTributarioEcf(Campo(5), true))
      Erro("60A.codigo", 5,
           "situação tributária ou alíquota inválida: " + Texto(Campo(5)) +
               " (alíquota de 4 dígitos, F, I, N, CANC, DESC ou ISS)");
    Dia& dia = DiaDoEcf();
    dia.tem60A = true;
    if (Digitos(Campo(6))) dia.soma60A += Numero(Campo(6));
  }

  void CodigoEcf(int n) {
    if (!CodigoTributarioEcf(Campo(n), false))
      Erro("60.codigo", n,
           "situação tributária ou alíquota inválida: " + Texto(Campo(n)) +
               " (alíquota de 4 dígitos, F, I, N, CANC ou ISS)");
  }

  void Tipo60D() {
    int data = DataDoCampo(3);
    DataNoPeriodo(3, data, "60.data-periodo");
    SerieDoEcf();
    CodigoEcf(9);
    DiaDoEcf();
    UsaProduto(5, data, data);
  }

  void Tipo60I() {
    int data = DataDoCampo(3);
    DataNoPeriodo(3, data, "60.data-periodo");
    SerieDoEcf();
    if (!ModeloDeEcf(Campo(5)))
      Erro("modelo", 5, "modelo de documento inválido: " + Texto(Campo(5)) + " (2B, 2C ou 2D)");
    CodigoEcf(12);
    DiaDoEcf();
    UsaProduto(8, data, data);
  }

  void Tipo60R() {
    std::string_view mes_ano = Campo(3);
    int de = 0, ate = 0;
    if (Digitos(mes_ano)) {
      int mes = static_cast<int>(Numero(mes_ano.substr(0, 2)));
      int ano = static_cast<int>(Numero(mes_ano.substr(2)));
      if (mes < 1 || mes > 12 || ano < 1900) {
        Erro("data", 3, "mês/ano inválido: " + Texto(mes_ano) + " (formato MMAAAA)");
      } else {
        de = ano * 10000 + mes * 100 + 1;
        ate = ano * 10000 + mes * 100 + UltimoDia(ano, mes);
        if (inicio_periodo != 0 && de != inicio_periodo - inicio_periodo % 100 + 1)
          Erro("60R.periodo", 3,
               "mês/ano " + std::string(mes_ano.substr(0, 2)) + "/" +
                   std::string(mes_ano.substr(2)) + " diferente do período do arquivo");
      }
    }
    CodigoEcf(8);
    UsaProduto(4, de, ate);
  }

  void Tipo74() {
    int data = DataDoCampo(2);
    if (data != 0 && fim_periodo != 0 && data > fim_periodo)
      Aviso("74.data", 2,
            "data do inventário " + DataLegivel(data) + " posterior ao fim do período (" +
                DataLegivel(fim_periodo) + ")");
    std::string_view posse = Campo(6);
    if (posse != "1" && posse != "2" && posse != "3") {
      Erro("74.posse", 6, "código de posse inválido: " + Texto(posse) + " (1, 2 ou 3)");
    } else if (posse != "1") {
      bool uf_ok = Uf(9, true);
      bool exterior = Campo(9) == "EX";
      CnpjOuCpf(7, exterior);
      if (uf_ok && !exterior) Ie(8, Campo(9));
    } else if (!Valor(9).empty()) {
      Uf(9, false);
    }
    // An inventory dated after the period (the day it was written) is the period's stock:
    // its product needs a 75 of the period, which the warning above already questions.
    int quando = data != 0 && fim_periodo != 0 && data > fim_periodo ? fim_periodo : data;
    UsaProduto(3, quando, quando);
  }

  void Tipo75() {
    int de = DataDoCampo(2), ate = DataDoCampo(3);
    if (de != 0 && ate != 0 && de > ate)
      Erro("75.validade", 2,
           "início da validade " + DataLegivel(de) + " depois do fim " + DataLegivel(ate));
    std::string_view codigo = Valor(4);
    if (codigo.empty()) {
      Erro("produto", 4, "código do produto em branco");
      return;
    }
    Produto& p = produtos[IndiceProduto(codigo)];
    if (p.linha75 == 0) p.linha75 = linha;
    if (de != 0 && ate != 0) p.validades.emplace_back(de, ate);
  }

  void Tipo90() {
    if (tem10 && Campo(2) != cnpj_informante)
      Erro("90.cnpj", 2, "CNPJ diferente do registro tipo 10");
    if (tem10 && Campo(3) != ie_informante)
      Erro("90.ie", 3, "inscrição estadual diferente do registro tipo 10");
    for (int n = TRegTipo90Slots::kPrimeiro; n <= TRegTipo90Slots::kUltimo; ++n) {
      std::string_view slot = Campo(n);
      if (TiraBrancosFinais(slot).empty()) continue;
      if (!Digitos(slot)) {
        Erro("90.totalizador", n,
             "totalizador inválido: " + Texto(slot) + " (tipo com 2 dígitos e total com 8)");
        continue;
      }
      Totalizado& t = totalizados[static_cast<int>(Numero(slot.substr(0, 2)))];
      if (t.linha == 0) {
        t.linha = linha;
        t.campo = n;
      }
      t.total += Numero(slot.substr(2));
    }
    std::string_view quantidade = Campo(16);
    quantidades90.emplace_back(linha,
                               Digitos(quantidade) ? static_cast<int>(Numero(quantidade)) : -1);
  }
  struct TRegTipo90Slots {
    static constexpr int kPrimeiro = 6;
    static constexpr int kUltimo = 14;
  };

  // ------------------------------------------------------------------ end of file

  void Fim() {
    if (resto_comprimento > 0) {
      std::string ultima = std::move(resto);
      resto.clear();
      size_t comprimento = resto_comprimento;
      resto_comprimento = 0;
      Linha(ultima, false, comprimento, resto_ultimo);
    }
    linha = 0;
    registro.clear();
    layout = nullptr;
    if (contagem.linhas == 0) {
      Erro("arquivo.vazio", 0, "o arquivo está vazio");
      return;
    }
    if (!tem10)
      Depois(Severidade::Erro, 0, "10", nullptr, "cabecalho", 0,
             "o arquivo não tem registro tipo 10");
    if (!tem11)
      Depois(Severidade::Erro, 0, "11", nullptr, "cabecalho", 0,
             "o arquivo não tem registro tipo 11");
    Trailer();
    Notas();
    Produtos();
    Ecf();
    std::stable_sort(ao_fim.begin(), ao_fim.end(),
                     [](const Achado& a, const Achado& b) { return a.linha < b.linha; });
    for (const Achado& a : ao_fim) {
      Conta(a);
      if (destino) destino(a);
    }
    ao_fim.clear();
  }

  void Trailer() {
    const Layout* l90 = LayoutDe("90");
    if (quantidades90.empty()) {
      Depois(Severidade::Erro, 0, "90", nullptr, "90.ausente", 0,
             "o arquivo não tem registro tipo 90");
      return;
    }
    std::uint64_t primeira90 = quantidades90.front().first;
    auto tipo = [](int t) {
      char s[8];
      std::snprintf(s, sizeof s, "%02d", t);
      return std::string(s);
    };
    for (int t = 0; t < 100; ++t) {
      if (t == 10 || t == 11 || t == 90 || t == 99) continue;
      std::uint64_t real = por_tipo[static_cast<size_t>(t)];
      auto it = totalizados.find(t);
      if (it == totalizados.end()) {
        if (real > 0)
          Depois(Severidade::Erro, primeira90, "90", l90, "90.total", 0,
                 "o registro 90 não totaliza os " + std::to_string(real) + " registros tipo " +
                     tipo(t));
        continue;
      }
      if (static_cast<std::uint64_t>(it->second.total) != real)
        Depois(Severidade::Erro, it->second.linha, "90", l90, "90.total", it->second.campo,
               "o registro 90 totaliza " + std::to_string(it->second.total) + " registros tipo " +
                   tipo(t) + "; o arquivo tem " + std::to_string(real));
    }
    for (int t : {10, 11, 90}) {
      auto it = totalizados.find(t);
      if (it != totalizados.end() &&
          static_cast<std::uint64_t>(it->second.total) != por_tipo[static_cast<size_t>(t)])
        Depois(Severidade::Erro, it->second.linha, "90", l90, "90.total", it->second.campo,
               "o registro 90 totaliza " + std::to_string(it->second.total) + " registros tipo " +
                   tipo(t) + "; o arquivo tem " + std::to_string(por_tipo[static_cast<size_t>(t)]));
    }
    auto geral = totalizados.find(99);
    if (geral == totalizados.end())
      Depois(Severidade::Erro, primeira90, "90", l90, "90.total-geral", 0,
             "o registro 90 não tem o total geral (tipo 99)");
    else if (static_cast<std::uint64_t>(geral->second.total) != contagem.linhas)
      Depois(Severidade::Erro, geral->second.linha, "90", l90, "90.total-geral",
             geral->second.campo,
             "o total geral (99) é " + std::to_string(geral->second.total) + "; o arquivo tem " +
                 std::to_string(contagem.linhas) + " linhas, contados os registros 90");
    for (const auto& [em, quantidade] : quantidades90)
      if (quantidade != static_cast<int>(quantidades90.size()))
        Depois(Severidade::Erro, em, "90", l90, "90.quantidade", 16,
               "a coluna 126 deve dar o número de registros 90 do arquivo (" +
                   std::to_string(quantidades90.size()) + ")");
  }

  void Notas() {
    const Layout* l54 = LayoutDe("54");
    const Layout* l50 = LayoutDe("50");
    for (const auto& [em, chave] : itens_sem_nota) {
      auto it = notas.find(chave);
      if (it != notas.end() && it->second.tem50) continue;
      Depois(Severidade::Erro, em, "54", l54, "54.sem-50", 0,
             "item sem o registro 50 da sua nota (mesmo CNPJ, modelo, série, número e CFOP)");
    }
    for (const auto& [chave, nota] : notas) {
      if (!nota.tem50 || nota.itens == 0) continue;
      std::int64_t diferenca = nota.total50 - nota.soma54;
      if (diferenca < 0) diferenca = -diferenca;
      // A cent of rounding per item is no fault.
      if (diferenca > static_cast<std::int64_t>(nota.itens))
        Depois(Severidade::Aviso, nota.linha50, "50", l50, "54.total-nota", 11,
               "valor total da nota R$ " + Reais(nota.total50) + "; os seus itens (54) somam R$ " +
                   Reais(nota.soma54));
    }
  }

  void Produtos() {
    for (const Uso& u : usos) {
      Produto& p = produtos[u.produto];
      p.usado = true;
      bool sem75 = p.linha75 == 0;
      if (!sem75) {
        if (u.de == 0) continue;  // no date to compare
        bool valido = std::any_of(p.validades.begin(), p.validades.end(), [&](const auto& v) {
          return v.first <= u.ate && u.de <= v.second;
        });
        if (valido) continue;
      }
      // A finding: what it names is worked out only now, a million uses being common.
      std::string reg(u.registro, strnlen(u.registro, 4));
      const Layout* l = LayoutDe(reg);
      int campo = reg == "54" ? 9 : reg == "60D" ? 5 : reg == "60I" ? 8 : reg == "60R" ? 4 : 3;
      const std::string codigo = Texto(codigos[u.produto]);
      if (sem75) {
        Depois(Severidade::Erro, u.linha, reg, l, "75.ausente", campo,
               "o produto " + codigo + " não tem registro tipo 75");
        continue;
      }
      std::string quando = u.de == u.ate ? "em " + DataLegivel(u.de)
                                         : "de " + DataLegivel(u.de) + " a " + DataLegivel(u.ate);
      // The inventory is dated when it is written, often after the period the 75 covers.
      Depois(reg == "74" ? Severidade::Aviso : Severidade::Erro, u.linha, reg, l, "75.vigencia",
             campo, "o registro 75 do produto " + codigo + " não vale " + quando);
    }
    const Layout* l75 = LayoutDe("75");
    for (size_t i = 0; i < produtos.size(); ++i)
      if (produtos[i].linha75 != 0 && !produtos[i].usado)
        Depois(Severidade::Aviso, produtos[i].linha75, "75", l75, "75.sem-uso", 4,
               "o produto " + Texto(codigos[i]) +
                   " não aparece em nenhum registro 54, 60D, 60I, 60R ou 74");
  }

  void Ecf() {
    for (const SemDia& s : sem_60M) {
      auto it = dias.find(s.dia);
      if (it != dias.end() && it->second.tem60M) continue;
      Depois(Severidade::Erro, s.linha, s.registro, LayoutDe(s.registro), "60.sem-60M", 3,
             "não há registro 60M do mesmo dia e ECF");
    }
    const Layout* l60M = LayoutDe("60M");
    for (const auto& [chave, dia] : dias) {
      if (!dia.tem60M || dia.soma60A == dia.venda_bruta) continue;
      Depois(Severidade::Aviso, dia.linha60M, "60M", l60M, "60A.total", 11,
             "venda bruta R$ " + Reais(dia.venda_bruta) + "; os registros 60A do dia somam R$ " +
                 Reais(dia.soma60A));
    }
    for (auto& [serie, lista] : reducoes) {
      std::sort(lista.begin(), lista.end(), [](const Reducao& a, const Reducao& b) {
        return a.coo_inicial != b.coo_inicial ? a.coo_inicial < b.coo_inicial : a.linha < b.linha;
      });
      for (size_t i = 1; i < lista.size(); ++i)
        if (lista[i].coo_inicial <= lista[i - 1].coo_final)
          Depois(Severidade::Erro, std::max(lista[i].linha, lista[i - 1].linha), "60M", l60M,
                 "60M.coo", 7,
                 "a faixa de COO " + std::to_string(lista[i].coo_inicial) + "-" +
                     std::to_string(lista[i].coo_final) + " se sobrepõe à do dia " +
                     DataLegivel(lista[i - 1].data));
      std::sort(lista.begin(), lista.end(), [](const Reducao& a, const Reducao& b) {
        return a.data != b.data ? a.data < b.data : a.linha < b.linha;
      });
      for (size_t i = 1; i < lista.size(); ++i)
        if (lista[i].crz <= lista[i - 1].crz)
          Depois(Severidade::Erro, lista[i].linha, "60M", l60M, "60M.crz", 9,
                 "CRZ " + std::to_string(lista[i].crz) + " não é maior que o do dia " +
                     DataLegivel(lista[i - 1].data) + " (" + std::to_string(lista[i - 1].crz) +
                     ")");
    }
  }
};

ValidadorSintegra::ValidadorSintegra(DestinoAchados destino, std::optional<Periodo> periodo)
    : estado_(std::make_unique<Estado>()) {
  estado_->destino = std::move(destino);
  estado_->periodo_pedido = periodo;
  if (periodo && periodo->mes >= 1 && periodo->mes <= 12) {
    estado_->inicio_periodo = periodo->ano * 10000 + periodo->mes * 100 + 1;
    estado_->fim_periodo =
        periodo->ano * 10000 + periodo->mes * 100 + UltimoDia(periodo->ano, periodo->mes);
  }
}

ValidadorSintegra::~ValidadorSintegra() = default;

void ValidadorSintegra::Adiciona(std::string_view bytes) {
  Estado& e = *estado_;
  while (!bytes.empty()) {
    size_t fim = bytes.find('\n');
    std::string_view parte = bytes.substr(0, fim);
    if (!parte.empty()) {
      e.resto_ultimo = parte.back();
      e.resto_comprimento += parte.size();
    }
    if (fim == std::string_view::npos) {
      // A line far longer than any record is only kept to its start.
      if (e.resto.size() < kMaiorLinhaGuardada)
        e.resto.append(parte.substr(0, kMaiorLinhaGuardada - e.resto.size()));
      return;
    }
    size_t comprimento = e.resto_comprimento;
    e.resto_comprimento = 0;
    if (e.resto.empty()) {
      e.Linha(parte, true, comprimento, comprimento > 0 ? e.resto_ultimo : '\0');
    } else {
      if (e.resto.size() < kMaiorLinhaGuardada)
        e.resto.append(parte.substr(0, kMaiorLinhaGuardada - e.resto.size()));
      std::string linha = std::move(e.resto);
      e.resto.clear();
      e.Linha(linha, true, comprimento, e.resto_ultimo);
    }
    bytes.remove_prefix(fim + 1);
  }
}

ContagemAchados ValidadorSintegra::Termina() {
  estado_->Fim();
  return estado_->contagem;
}

ContagemAchados ValidaArquivo(const std::filesystem::path& arquivo, const DestinoAchados& destino,
                              std::optional<Periodo> periodo) {
  std::FILE* f = std::fopen(arquivo.c_str(), "rb");
  if (f == nullptr)
    throw SintegraError("Não foi possível abrir o arquivo " + arquivo.string() + ": " +
                        std::strerror(errno));
  ValidadorSintegra validador(destino, periodo);
  std::vector<char> buffer(1 << 20);
  for (;;) {
    size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
    if (n > 0) validador.Adiciona(std::string_view(buffer.data(), n));
    if (n < buffer.size()) break;
  }
  bool falhou = std::ferror(f) != 0;
  int erro = errno;
  std::fclose(f);
  if (falhou)
    throw SintegraError("Falha ao ler o arquivo " + arquivo.string() + ": " + std::strerror(erro));
  return validador.Termina();
}

ResultadoValidacao ValidaArquivo(const std::filesystem::path& arquivo,
                                 std::optional<Periodo> periodo) {
  ResultadoValidacao r;
  r.contagem = ValidaArquivo(
      arquivo, [&r](const Achado& a) { r.achados.push_back(a); }, periodo);
  std::stable_sort(r.achados.begin(), r.achados.end(),
                   [](const Achado& a, const Achado& b) { return a.linha < b.linha; });
  return r;
}

std::string LinhaDoAchado(const Achado& a) {
  std::string s = a.severidade == Severidade::Erro ? "Erro" : "Aviso";
  if (a.linha > 0) s += " linha " + std::to_string(a.linha);
  if (!a.registro.empty()) s += " registro " + common::cp1252_to_utf8(a.registro);
  if (!a.campo.empty()) s += " campo " + a.campo;
  return s + ": " + a.mensagem;
}

std::string ResumoDaContagem(const ContagemAchados& c) {
  auto plural = [](std::uint64_t n, const char* um, const char* varios) {
    return std::to_string(n) + " " + (n == 1 ? um : varios);
  };
  return plural(c.erros, "erro", "erros") + " e " + plural(c.avisos, "aviso", "avisos");
}

std::string RelatorioDeValidacao(const std::string& arquivo, const std::vector<Achado>& achados,
                                 const ContagemAchados& contagem) {
  std::string s = "Validação do arquivo " + arquivo + "\n" + std::to_string(contagem.linhas) +
                  " linhas conferidas\n\n";
  for (const Achado& a : achados) {
    s += LinhaDoAchado(a);
    if (a.coluna_inicial > 0)
      s += " [colunas " + std::to_string(a.coluna_inicial) + "-" + std::to_string(a.coluna_final) +
           ", regra " + a.regra + "]";
    else
      s += " [regra " + a.regra + "]";
    s += "\n";
  }
  s += (achados.empty() ? "" : "\n") + ResumoDaContagem(contagem) + "\n";
  return s;
}

}  // namespace sintegra
