#include "orvik/qvx/reply.h"

#include "orvik/core/text_forms.h"

namespace orvik::qvx {

bool IsReadCommand(int command) {
  return command >= 30 && command <= 34;
}

QvxReply ParseQvxReply(std::string_view bytes, int command) {
  QvxReply out;
  const bool read = IsReadCommand(command);
  size_t at = bytes.find(kStx);
  while (at != std::string_view::npos) {
    const size_t end = bytes.find(kEtx, at + kMinFrame);
    if (end == std::string_view::npos) break;  // a frame cut short holds no answer
    // A frame ends at its ETX, but a later STX inside it starts the next one.
    const size_t next = bytes.find(kStx, at + 1);
    if (next != std::string_view::npos && next < end) {
      at = next;
      continue;
    }
    const std::string_view frame = bytes.substr(at, end - at);
    ++out.frames;
    out.status = frame[1];
    out.error_number = std::string(frame.substr(6, 2));
    out.accepted = frame[1] == '+' || (read && frame[1] == 'S');
    if (out.accepted && read) {
      std::string_view data = frame.substr(6);
      if (command == 32) data = data.substr(0, 10);
      out.data = std::string(data);
      out.has_data = true;
    }
    at = bytes.find(kStx, end + 1);
  }
  return out;
}

bool ReplyComplete(std::string_view bytes, bool quiet) {
  if (bytes.empty()) return false;
  if (bytes.back() == kEtx) return true;
  if (!quiet) return false;
  const size_t stx = bytes.find(kStx);
  return stx != std::string_view::npos &&
         bytes.find(kEtx, stx + kMinFrame) != std::string_view::npos;
}

std::string ErrorMessageFor(std::string_view number) {
  struct Entry {
    int number;
    const char* text;
  };
  static const Entry kTable[] = {
      {1, "O cabeçalho contém caracteres invalidados"},
      {2, "Comando inexistente"},
      {3, "Valor não numérico em campo numérico"},
      {4, "Valor fora da faixa entre 20h E 7Fh"},
      {5, "Campo deve iniciar com @, & ou %"},
      {6, "Campo deve iniciar com $,# ou ?"},
      {7, "O intervalo é inconsistente."},
      {9, "A string “TOTAL” não é aceita"},
      {10, "A sintaxe do comando está errada"},
      {11, "Excedeu o nº máximo de linhas permitidas pelo comando"},
      {12, "O terminador enviado não está obedecendo o protocolo de comunicação"},
      {13, "O checksum enviado está incorreto"},
      {15, "A situação tributária deve iniciar com T, F,I ou N"},
      {16, "Data inválida"},
      {17, "Hora inválida"},
      {18, "Alíquota não programada ou fora do intervalo"},
      {19, "O campo de sinal está incorreto"},
      {20, "Comando só aceito em Intervenção Fiscal"},
      {21, "Comando só aceito em modo Normal"},
      {22, "Necessário abrir cupom fiscal"},
      {23, "Comando não aceito durante cupom fiscal"},
      {24, "Necessário abrir cupom não Fiscal"},
      {25, "Comando não aceito durante Cupom Não Fiscal"},
      {26, "O  relógio já está em horário de verão"},
      {27, "O  relógio não está em horário de verão"},
      {28, "Necessário realizar Redução Z"},
      {29, "Fechamento do dia (Redução Z ) já executado"},
      {30, "Necessário programar legenda"},
      {31, "Item inexistente ou já cancelado"},
      {32, "O  cupom anterior não pode ser cancelado"},
      {33, "Detectado falta de papel"},
      {36, "Necessário programar os dados do estabelecimento"},
      {37, "Necessário realizar Intervenção Fiscal"},
      {38, "A MF não permite mais realizar vendas. Só é possível executar LX ou LMF"},
      {40, "Necessário programar a data do relógio"},
      {41, "Número máximo de itens por cupom ultrapassado"},
      {42, "Já foi realizado o ajuste de hora diário"},
      {43, "Comando válido ainda em execução"},
      {44, "Está em estado de impressão de cheque"},
      {45, "Não está em estado de impressão de cheque"},
      {46, "Necessário inserir o cheque"},
      {47, "Necessário inserir nova bobina"},
      {48, "Necessário executar uma Leitura X"},
      {49, "Detectado algum problema na impressora ( paper jam, sobretensão, etc)."},
      {50, "Cupom já foi totalizado"},
      {51, "Necessário totalizar cupom antes de fechar"},
      {52, "Necessário finalizar cupom com comando correto"},
      {53, "Ocorreu erro de gravação na memória fiscal"},
      {54, "Excedeu número máximo de estabelecimentos"},
      {55, "Memória Fiscal não inicializada"},
      {56, "Ultrapassou valor do pagamento"},
      {57, "Registrador não programado ou troco já realizado"},
      {58, "Falta completar valor do pagamento"},
      {59, "Campo somente de caracteres não númericos (Alfabéticos)"},
      {60, "Excedeu campo máximo de caracteres"},
      {61, "Troco não realizado"},
      {62, "Cmd desabilitado"},
      {-5, "Erro ao abrir a porta de comunicação"},
      {-4,
       "O arquivo de inicialização \"ORVIK.INI\" não foi encontrado no diretório do "
       "aplicativo"},
  };
  const int n = core::ParseInteger(number, 9999);
  for (const Entry& e : kTable)
    if (e.number == n) return e.text;
  return "Erro retornado pelo ECF: " + std::string(number);
}

}  // namespace orvik::qvx
