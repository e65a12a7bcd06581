#include "shell/import/dbase.h"

#include <shapefil.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/files.h"
#include "common/text1252.h"

namespace shell::dbase {

namespace {

// Upper halves of the DOS code pages a table may declare (from 0x80).
constexpr char16_t kCp437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
constexpr char16_t kCp850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

void PoeUtf8(std::string& s, char16_t c) {
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string ParaUtf8(std::string_view bytes, int pagina) {
  if (pagina == 1252) return common::cp1252_to_utf8(bytes);
  const char16_t* t = pagina == 437 ? kCp437 : kCp850;
  std::string s;
  s.reserve(bytes.size() + 8);
  for (unsigned char b : bytes) {
    if (b < 0x80)
      s += static_cast<char>(b);
    else
      PoeUtf8(s, t[b - 0x80]);
  }
  return s;
}

// The language byte of the header: 0x01 is DOS USA (437), 0x02 DOS multilingual (850);
// every other value, and none, is taken as Windows ANSI.
int PaginaDoIdioma(int idioma) {
  if (idioma == 0x01) return 437;
  if (idioma == 0x02) return 850;
  return 1252;
}

// shapelib reads through these hooks: one byte range per open, never written.
struct Memoria {
  const char* dados;
  std::size_t tamanho;
  std::size_t posicao = 0;
};

thread_local std::string_view g_pendente;
thread_local std::string g_erro;

bool TerminaEmDbf(const char* nome) {
  std::size_t n = std::strlen(nome);
  return n >= 4 && common::iequals(std::string_view(nome + n - 4, 4), ".dbf");
}

SAFile Abre(const char* nome, const char* acesso) {
  if (!TerminaEmDbf(nome) || acesso[0] != 'r' || std::strchr(acesso, '+')) return nullptr;
  auto* m = new Memoria{g_pendente.data(), g_pendente.size()};
  return reinterpret_cast<SAFile>(m);
}
SAOffset Le(void* p, SAOffset tamanho, SAOffset n, SAFile f) {
  auto* m = reinterpret_cast<Memoria*>(f);
  if (tamanho == 0) return 0;
  SAOffset disponiveis = m->posicao >= m->tamanho ? 0 : (m->tamanho - m->posicao) / tamanho;
  SAOffset lidos = std::min(n, disponiveis);
  std::memcpy(p, m->dados + m->posicao, lidos * tamanho);
  m->posicao += lidos * tamanho;
  return lidos;
}
SAOffset Escreve(void*, SAOffset, SAOffset, SAFile) {
  return 0;
}
SAOffset Posiciona(SAFile f, SAOffset deslocamento, int origem) {
  auto* m = reinterpret_cast<Memoria*>(f);
  std::size_t base = origem == SEEK_CUR ? m->posicao : origem == SEEK_END ? m->tamanho : 0;
  m->posicao = base + deslocamento;
  return 0;
}
SAOffset Posicao(SAFile f) {
  return reinterpret_cast<Memoria*>(f)->posicao;
}
int Descarrega(SAFile) {
  return 0;
}
int Fecha(SAFile f) {
  delete reinterpret_cast<Memoria*>(f);
  return 0;
}
int Remove(const char*) {
  return -1;
}
void Erro(const char* mensagem) {
  g_erro = mensagem ? mensagem : "";
}
double Atof(const char* s) {
  return std::strtod(s, nullptr);
}

SAHooks Ganchos() {
  SAHooks h{};
  h.FOpen = Abre;
  h.FRead = Le;
  h.FWrite = Escreve;
  h.FSeek = Posiciona;
  h.FTell = Posicao;
  h.FFlush = Descarrega;
  h.FClose = Fecha;
  h.Remove = Remove;
  h.Error = Erro;
  h.Atof = Atof;
  return h;
}

struct FechaDbf {
  void operator()(DBFInfo* h) const { DBFClose(h); }
};

unsigned Le16(std::string_view b, std::size_t i) {
  return static_cast<unsigned char>(b[i]) | (static_cast<unsigned char>(b[i + 1]) << 8);
}
std::uint32_t Le32(std::string_view b, std::size_t i) {
  return Le16(b, i) | (static_cast<std::uint32_t>(Le16(b, i + 2)) << 16);
}

std::string_view Apara(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

}  // namespace

int Tabela::campo(std::string_view n) const {
  for (std::size_t i = 0; i < campos.size(); ++i)
    if (common::iequals(campos[i], n)) return static_cast<int>(i);
  return -1;
}

Tabela LeTabela(std::string_view bytes, const std::string& nome,
                const std::vector<std::string>& campos) {
  const std::string invalida = "A tabela \"" + nome + "\" não é uma tabela dBase válida.";
  // The header is checked here first, so that shapelib only ever sees sizes that hold.
  if (bytes.size() < 32) throw ErroDbf(invalida);
  const std::uint32_t registros = Le32(bytes, 4);
  const unsigned cabecalho = Le16(bytes, 8), tamanho_registro = Le16(bytes, 10);
  if (cabecalho < 33 || tamanho_registro < 1 || registros > 0x7FFFFFFFu) throw ErroDbf(invalida);
  if (bytes.size() < cabecalho) throw ErroDbf(invalida);
  const unsigned long long necessario =
      cabecalho + static_cast<unsigned long long>(registros) * tamanho_registro;
  if (bytes.size() < necessario) {
    unsigned long long inteiros = (bytes.size() - cabecalho) / tamanho_registro;
    throw ErroDbf("A tabela \"" + nome + "\" está incompleta: o cabeçalho anuncia " +
                  std::to_string(registros) + " registros e o arquivo traz " +
                  std::to_string(inteiros) + ".");
  }

  SAHooks ganchos = Ganchos();
  g_pendente = bytes;
  g_erro.clear();
  std::unique_ptr<DBFInfo, FechaDbf> h(DBFOpenLL("tabela.dbf", "rb", &ganchos));
  g_pendente = {};
  if (!h) throw ErroDbf(invalida);

  Tabela t;
  t.nome = nome;
  t.campos = campos;
  t.total_registros = DBFGetRecordCount(h.get());
  t.codigo_pagina = PaginaDoIdioma(h->iLanguageDriver);
  for (int i = 0; i < DBFGetFieldCount(h.get()); ++i)
    if (h->panFieldOffset[i] < 1 || h->panFieldSize[i] < 0 ||
        h->panFieldOffset[i] + h->panFieldSize[i] > h->nRecordLength)
      throw ErroDbf(invalida);
  std::vector<int> indices;
  for (const std::string& c : campos) {
    int i = DBFGetFieldIndex(h.get(), c.c_str());
    if (i < 0) throw ErroDbf("A tabela \"" + nome + "\" não tem o campo \"" + c + "\".");
    indices.push_back(i);
  }
  t.linhas.reserve(t.total_registros);
  t.registros.reserve(t.total_registros);
  for (int r = 0; r < t.total_registros; ++r) {
    // Reading the tuple loads the record once; the fields are cut from it here.
    const char* tupla = DBFReadTuple(h.get(), r);
    if (!tupla)
      throw ErroDbf("Não foi possível ler o registro " + std::to_string(r + 1) + " da tabela \"" +
                    nome + "\"" + (g_erro.empty() ? std::string() : ": " + g_erro) + ".");
    if (tupla[0] == '*') continue;  // deleted
    std::vector<std::string> linha;
    linha.reserve(indices.size());
    for (int i : indices) {
      std::string_view v(tupla + h->panFieldOffset[i], h->panFieldSize[i]);
      linha.push_back(ParaUtf8(Apara(v), t.codigo_pagina));
    }
    t.linhas.push_back(std::move(linha));
    t.registros.push_back(r + 1);
  }
  return t;
}

std::optional<std::filesystem::path> AchaArquivo(const std::filesystem::path& pasta,
                                                 std::string_view nome) {
  return common::find_case_blind(pasta, nome);
}

Tabela LeArquivo(const std::filesystem::path& pasta, const std::string& nome,
                 const std::vector<std::string>& campos) {
  auto caminho = AchaArquivo(pasta, nome);
  std::error_code ec;
  if (!caminho || !std::filesystem::is_regular_file(*caminho, ec))
    throw ErroDbf("A tabela \"" + nome + "\" não foi encontrada em \"" + pasta.string() + "\".");
  // Read whole into memory: the file is opened for reading only and closed at once.
  auto bytes = common::read_file(*caminho);
  if (!bytes) throw ErroDbf("Não foi possível ler a tabela \"" + caminho->string() + "\".");
  return LeTabela(*bytes, nome, campos);
}

Leitura LeDecimal(std::string_view texto, Decimal& saida) {
  texto = Apara(texto);
  if (texto.empty()) return Leitura::Vazio;
  Decimal d;
  std::size_t i = 0;
  if (texto[0] == '-' || texto[0] == '+') {
    d.negativo = texto[0] == '-';
    ++i;
  }
  bool ponto = false, algum = false;
  for (; i < texto.size(); ++i) {
    char c = texto[i];
    if (c >= '0' && c <= '9') {
      d.digitos += c;
      if (ponto) ++d.escala;
      algum = true;
    } else if ((c == '.' || c == ',') && !ponto) {
      ponto = true;
    } else {
      return Leitura::Invalido;
    }
  }
  if (!algum) return Leitura::Invalido;
  if (d.digitos.find_first_not_of('0') == std::string::npos) d.negativo = false;
  saida = d;
  return Leitura::Numero;
}

std::string TextoFixo(const Decimal& d, int casas, char separador) {
  std::string digitos = d.digitos;
  int escala = d.escala;
  if (escala > casas) {
    // Half away from zero on the first dropped digit.
    bool sobe = digitos[digitos.size() - (escala - casas)] >= '5';
    digitos.resize(digitos.size() - (escala - casas));
    escala = casas;
    if (sobe) {
      int i = static_cast<int>(digitos.size()) - 1;
      for (; i >= 0; --i) {
        if (digitos[i] == '9') {
          digitos[i] = '0';
        } else {
          ++digitos[i];
          break;
        }
      }
      if (i < 0) digitos.insert(digitos.begin(), '1');
    }
  }
  while (escala < casas) {
    digitos += '0';
    ++escala;
  }
  while (static_cast<int>(digitos.size()) < casas + 1) digitos.insert(digitos.begin(), '0');
  while (digitos.size() > static_cast<std::size_t>(casas + 1) && digitos[0] == '0')
    digitos.erase(0, 1);
  std::string s;
  if (d.negativo && digitos.find_first_not_of('0') != std::string::npos) s += '-';
  s += digitos.substr(0, digitos.size() - casas);
  if (casas > 0) {
    s += separador;
    s += digitos.substr(digitos.size() - casas);
  }
  return s;
}

}  // namespace shell::dbase
