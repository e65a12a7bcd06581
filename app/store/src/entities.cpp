#include "store/entities.h"

#include <ibase.h>

#include "common/text1252.h"
#include "store/conversions.h"
#include "store/data_module.h"

namespace store {

namespace {

TdmTributarium& dm() {
  if (!dmTributarium) throw Erro("O módulo de dados não foi criado.");
  return *dmTributarium;
}

void rollback(Transaction& tr) {
  try {
    tr.UndoWrite();
  } catch (const DatabaseError&) {
  }
}

// Grids follow the table; a refresh that fails leaves the query closed, and the
// operation's own result stands.
void refresh(Query& q) {
  try {
    q.Refresh();
  } catch (const DatabaseError&) {
  }
}

void refresh_items(TdmTributarium& m, int id_nota) {
  try {
    m.tProdutoNota.Close();
    m.tProdutoNota.SetParam("idNota", static_cast<std::int64_t>(id_nota));
    m.tProdutoNota.Open();
  } catch (const DatabaseError&) {
  }
}

std::string trim_right(const std::string& s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

Value i64(std::int64_t v) {
  return v;
}

bool em_uso(const std::exception& e) {
  auto* db = dynamic_cast<const DatabaseError*>(&e);
  return db && RegistroEmUso(*db);
}

// Write with a log line: the body runs the procedure and answers the success prefix;
// any failure is rolled back and logged with its text.
template <class Body>
bool write_logged(Transaction& tr, const std::string& falha, const std::string& detalhe_ok,
                  Query& q, Body body) {
  TdmTributarium& m = dm();
  bool ok = false;
  std::string linha;
  try {
    tr.BeginWrite();
    std::string prefixo = body();
    tr.EndWrite();
    ok = true;
    m.UltimaFalhaEmUso = false;
    linha = LinhaSucesso(prefixo, detalhe_ok);
  } catch (const std::exception& e) {
    rollback(tr);
    m.UltimaFalhaEmUso = em_uso(e);
    linha = LinhaFalha(falha, e.what());
  }
  m.GravaLog(linha);
  refresh(q);
  return ok;
}

// Write without a log line: any failure is rolled back and answers false.
template <class Body>
bool write_quiet(Transaction& tr, Body body) {
  try {
    tr.BeginWrite();
    body();
    tr.EndWrite();
    dm().UltimaFalhaEmUso = false;
    return true;
  } catch (const std::exception& e) {
    rollback(tr);
    dm().UltimaFalhaEmUso = em_uso(e);
    return false;
  }
}

// Write whose database errors reach the caller as TEBancoDados, rolled back.
template <class Body>
void write_raising(Transaction& tr, Body body) {
  try {
    tr.BeginWrite();
    body();
    tr.EndWrite();
  } catch (const DatabaseError& e) {
    rollback(tr);
    throw TEBancoDados::De(e);
  } catch (...) {
    rollback(tr);
    throw;
  }
}

}  // namespace

// ---------------------------------------------------------------- errors and log lines

TEBancoDados::TEBancoDados(int codigo) : Erro(Mensagem(codigo)), codigo_(codigo) {}

bool RegistroEmUso(const DatabaseError& e) {
  return e.has_code(isc_lock_conflict) || e.has_code(isc_update_conflict) ||
         e.has_code(isc_deadlock);
}

TEBancoDados TEBancoDados::De(const DatabaseError& e) {
  if (RegistroEmUso(e)) return TEBancoDados(kCodigoRegistroEmUso);
  if (e.sqlcode() == -803) return TEBancoDados(-803);
  if (e.is_truncation()) return TEBancoDados(119);
  return TEBancoDados(e.sqlcode());
}

std::string TEBancoDados::Mensagem(int codigo) {
  switch (codigo) {
    case -803:
      return "O item \"%s\" já está cadastrado na base de dados.\nPara inseri-lo exclua-o da "
             "base de dados e execute essa operação novamente.";
    case 119:
      return "Não foi possível realizar a operação para o item \"%s\".\nAlguma informação "
             "ultrapassou o limite de caracteres esperado no campo do banco de dados.";
    case kCodigoRegistroEmUso:
      return kRegistroEmUso;
    default:
      return "Ocorreu um erro durante a execução dessa operação.\nPor favor, entre em contato "
             "com o administrador do sistema.";
  }
}

std::string TEBancoDados::MensagemCom(const std::string& item) const {
  std::string s = what();
  auto p = s.find("%s");
  if (p != std::string::npos) s.replace(p, 2, item);
  return s;
}

std::string LinhaSucesso(const std::string& prefixo, const std::string& detalhe) {
  return prefixo + " - Sucesso! " + detalhe;
}

std::string LinhaFalha(const std::string& prefixo, const std::string& detalhe) {
  return prefixo + " - Falha: " + detalhe;
}

// ---------------------------------------------------------------- TBaseDados

TBaseDados::TBaseDados(int id, void* janela, const std::string& path, const std::string& nome)
    : ID_BASE_DADOS(id), NOME_CLIENTE(nome), PATH(path), Janela(janela) {}

bool TBaseDados::Inserir(bool nova_base) {
  TdmTributarium& m = dm();
  std::string path_original = PATH;
  bool ok = write_logged(
      m.trCatalogo, "spInserirBase", "/ Cópia de arquivos - Sucesso!", m.tBaseDados, [&] {
        PATH = nova_base ? join_location(path_original, NOME_CLIENTE) : path_original;
        StoredProc& sp = m.spInserirBase;
        sp.ClearParams();
        sp.SetParam("NOME_CLIENTE", NOME_CLIENTE);
        sp.SetParam("PATH", PATH);
        sp.ExecProc();
        ID_BASE_DADOS = static_cast<int>(sp.OutputInt("ID_BASE_DADOS"));
        if (nova_base && !(CopiaArquivos && CopiaArquivos(*this)))
          throw Erro("Falha ao criar arquivos da base de dados!");
        return "spInserirBase - id: " + std::to_string(ID_BASE_DADOS);
      });
  if (!ok) ID_BASE_DADOS = 0;  // the row was rolled back
  return ok;
}

bool TBaseDados::Alterar() {
  TdmTributarium& m = dm();
  return write_logged(m.trCatalogo, "spAlterarBase", "", m.tBaseDados, [&] {
    StoredProc& sp = m.spAlterarBase;
    sp.ClearParams();
    sp.SetParam("ID_BASE_DADOS", i64(ID_BASE_DADOS));
    sp.SetParam("NOME_CLIENTE", NOME_CLIENTE);
    sp.SetParam("PATH", PATH);
    sp.ExecProc();
    return "spAlterarBase - id: " + std::to_string(ID_BASE_DADOS);
  });
}

bool TBaseDados::Excluir() {
  TdmTributarium& m = dm();
  int id = ID_BASE_DADOS;
  bool ok = write_logged(m.trCatalogo, "spExcluirBase", "", m.tBaseDados, [&] {
    StoredProc& sp = m.spExcluirBase;
    sp.ClearParams();
    sp.SetParam("ID_BASE_DADOS", i64(id));
    sp.ExecProc();
    if (RemoveArquivos && !RemoveArquivos(*this))
      throw Erro("Falha ao remover arquivos da base de dados!");
    return "spExcluirBase - id: " + std::to_string(id);
  });
  if (ok) ID_BASE_DADOS = 0;
  return ok;
}

// ---------------------------------------------------------------- TUsuario

TUsuario::TUsuario(int id, int mestre, const std::string& senha, const std::string& login,
                   const std::string& nome)
    : ID_USUARIO(id),
      NOME_USUARIO(nome),
      // Logins are kept in upper case: the login dialog upper-cases what is typed.
      LOGIN_USUARIO(common::cp1252_to_utf8(common::cp1252_upper(common::utf8_to_cp1252(login)))),
      SENHA(senha.empty() ? std::string() : DigestoSenha(senha)),
      USUARIO_MESTRE(mestre) {}

bool TUsuario::Inserir() {
  TdmTributarium& m = dm();
  return write_logged(m.trCatalogo, "spInserirUsuario", "", m.tUsuarios, [&] {
    StoredProc& sp = m.spInserirUsuario;
    sp.ClearParams();
    sp.SetParam("NOME_USUARIO", NOME_USUARIO);
    sp.SetParam("LOGIN_USUARIO", LOGIN_USUARIO);
    sp.SetParam("SENHA", SENHA);
    sp.SetParam("USUARIO_MESTRE", i64(USUARIO_MESTRE));
    sp.ExecProc();
    ID_USUARIO = static_cast<int>(sp.OutputInt("ID_USUARIO"));
    return "spInserirUsuario - id: " + std::to_string(ID_USUARIO);
  });
}

bool TUsuario::Alterar() {
  TdmTributarium& m = dm();
  return write_logged(m.trCatalogo, "spAlterarUsuario", "", m.tUsuarios, [&] {
    StoredProc& sp = m.spAlterarUsuario;
    sp.ClearParams();
    sp.SetParam("ID_USUARIO", i64(ID_USUARIO));
    sp.SetParam("NOME_USUARIO", NOME_USUARIO);
    sp.SetParam("LOGIN_USUARIO", LOGIN_USUARIO);
    sp.SetParam("SENHA", SENHA);
    sp.SetParam("USUARIO_MESTRE", i64(USUARIO_MESTRE));
    sp.ExecProc();
    return "spAlterarUsuario - id: " + std::to_string(ID_USUARIO);
  });
}

bool TUsuario::Excluir() {
  TdmTributarium& m = dm();
  int id = ID_USUARIO;
  bool ok = write_logged(m.trCatalogo, "spExcluirUsuario", "", m.tUsuarios, [&] {
    StoredProc& sp = m.spExcluirUsuario;
    sp.ClearParams();
    sp.SetParam("ID_USUARIO", i64(id));
    sp.ExecProc();
    return "spExcluirUsuario - id: " + std::to_string(id);
  });
  if (ok) ID_USUARIO = 0;
  return ok;
}

// ---------------------------------------------------------------- TProprietario

bool TProprietario::Inserir() {
  TdmTributarium& m = dm();
  bool ok = write_quiet(m.trDados, [&] {
    StoredProc& sp = m.spInserirProprietario;
    sp.ClearParams();
    sp.SetParam("ID_PROPRIETARIO", i64(ID_PROPRIETARIO));
    sp.SetParam("TX_CNPJ", TX_CNPJ);
    sp.SetParam("TX_IE", TX_IE);
    sp.SetParam("TX_RAZAO_SOCIAL", TX_RAZAO_SOCIAL);
    sp.SetParam("TX_CIDADE", TX_CIDADE);
    sp.SetParam("TX_ESTADO", TX_ESTADO);
    sp.SetParam("TX_LOGRADOURO", TX_LOGRADOURO);
    sp.SetParam("NB_NUMERO", i64(NB_NUMERO));
    sp.SetParam("TX_BAIRRO", TX_BAIRRO);
    sp.SetParam("TX_COMPLEMENTO", TX_COMPLEMENTO);
    sp.SetParam("TX_CEP", TX_CEP);
    sp.SetParam("TX_NOME_CONTATO", TX_NOME_CONTATO);
    sp.SetParam("TX_TELEFONE", TX_TELEFONE);
    sp.SetParam("TX_FAX", TX_FAX);
    sp.ExecProc();
  });
  refresh(m.tProprietario);
  return ok;
}

int TProprietario::ContaRegistros() {
  TdmTributarium& m = dm();
  m.tProprietario.Refresh();
  return static_cast<int>(m.tProprietario.Rows().size());
}

bool TProprietario::Carregar() {
  TdmTributarium& m = dm();
  try {
    m.tProprietario.Refresh();
  } catch (const DatabaseError&) {
    return false;
  }
  const RowSet& r = m.tProprietario.Rows();
  if (r.empty()) return true;
  ID_PROPRIETARIO = static_cast<int>(r.integer(0, "ID_PROPRIETARIO"));
  TX_CNPJ = trim_right(r.at(0, "TX_CNPJ"));
  TX_IE = r.at(0, "TX_IE");
  TX_RAZAO_SOCIAL = r.at(0, "TX_RAZAO_SOCIAL");
  TX_CIDADE = r.at(0, "TX_CIDADE");
  TX_ESTADO = r.at(0, "TX_ESTADO");
  TX_LOGRADOURO = r.at(0, "TX_LOGRADOURO");
  NB_NUMERO = static_cast<int>(r.integer(0, "NB_NUMERO"));
  TX_BAIRRO = r.at(0, "TX_BAIRRO");
  TX_COMPLEMENTO = r.at(0, "TX_COMPLEMENTO");
  TX_CEP = trim_right(r.at(0, "TX_CEP"));
  TX_NOME_CONTATO = r.at(0, "TX_NOME_CONTATO");
  TX_TELEFONE = trim_right(r.at(0, "TX_TELEFONE"));
  TX_FAX = trim_right(r.at(0, "TX_FAX"));
  return true;
}

// ---------------------------------------------------------------- TNotaFiscal

namespace {

void set_invoice(StoredProc& sp, const TNotaFiscal& n) {
  sp.SetParam("NB_NOTA", i64(n.NB_NOTA));
  sp.SetParam("TX_CNPJ", n.TX_CNPJ);
  sp.SetParam("TX_IE", n.TX_IE);
  sp.SetParam("TX_UF", n.TX_UF);
  sp.SetParam("DT_EMISSAO", n.DT_EMISSAO);
  sp.SetParam("NB_MODELO", i64(n.NB_MODELO));
  sp.SetParam("TX_SERIE", n.TX_SERIE);
  sp.SetParam("NB_CFOP", i64(n.NB_CFOP));
  sp.SetParam("TX_EMITENTE", n.TX_EMITENTE);
  sp.SetParam("TX_ALIQUOTA", n.TX_ALIQUOTA);
  sp.SetParam("TX_VALOR_TOTAL", n.TX_VALOR_TOTAL);
  sp.SetParam("TX_BASE_ICMS", n.TX_BASE_ICMS);
  sp.SetParam("TX_VALOR_ICMS", n.TX_VALOR_ICMS);
  sp.SetParam("TX_VALOR_ISENTO", n.TX_VALOR_ISENTO);
  sp.SetParam("TX_OUTROS_VALORES", n.TX_OUTROS_VALORES);
  sp.SetParam("TX_SITUACAO", n.TX_SITUACAO);
}

void refresh_invoices(TdmTributarium& m, int id_nota) {
  refresh(m.tNotaFiscal);
  refresh_items(m, id_nota);
}

}  // namespace

bool TNotaFiscal::Inserir() {
  TdmTributarium& m = dm();
  bool ok = write_quiet(m.trDados, [&] {
    StoredProc& sp = m.spInserirNotaFiscal;
    sp.ClearParams();
    set_invoice(sp, *this);
    sp.ExecProc();
    ID_NOTA = static_cast<int>(sp.OutputInt("ID_NOTA"));
  });
  if (!ok) ID_NOTA = 0;
  refresh_invoices(m, ID_NOTA);
  return ok;
}

bool TNotaFiscal::Alterar() {
  TdmTributarium& m = dm();
  bool ok = write_quiet(m.trDados, [&] {
    StoredProc& sp = m.spAlterarNotaFiscal;
    sp.ClearParams();
    sp.SetParam("ID_NOTA", i64(ID_NOTA));
    set_invoice(sp, *this);
    sp.ExecProc();
  });
  refresh_invoices(m, ID_NOTA);
  return ok;
}

bool TNotaFiscal::Excluir() {
  TdmTributarium& m = dm();
  bool ok = write_quiet(m.trDados, [&] {
    StoredProc& sp = m.spExcluirNotaFiscal;
    sp.ClearParams();
    sp.SetParam("ID_NOTA", i64(ID_NOTA));
    sp.ExecProc();
  });
  if (ok) ID_NOTA = 0;
  refresh_invoices(m, ID_NOTA);
  return ok;
}

int TNotaFiscal::ContaNotas() {
  TdmTributarium& m = dm();
  refresh_invoices(m, ID_NOTA);
  return NotasGravadas();
}

int TNotaFiscal::NotasGravadas() {
  TdmTributarium& m = dm();
  // Counted by the engine: the list itself is read only as far as its grid shows.
  if (!m.tNotaFiscal.Active()) return 0;
  try {
    Query c("ContaNotas", m.trDados, "select count(*) as N from nota_fiscal");
    c.Open();
    return static_cast<int>(c.Rows().integer(0, "N"));
  } catch (const DatabaseError&) {
    return static_cast<int>(m.tNotaFiscal.Rows().size());
  }
}

int TNotaFiscal::ContaProdutos() {
  TdmTributarium& m = dm();
  refresh_invoices(m, ID_NOTA);
  return static_cast<int>(m.tProdutoNota.Rows().size());
}

bool TNotaFiscal::TemAliquotasDiferentes() {
  TdmTributarium& m = dm();
  Query& q = m.tProdutoNota;
  q.Close();
  q.SetParam("idNota", i64(ID_NOTA));
  q.Open();
  bool diferentes = false;
  const RowSet& r = q.Rows();
  if (!r.empty()) {
    const std::string primeira = r.at(0, "TX_ALIQUOTA");
    for (std::size_t i = 1; i < r.size() && !diferentes; ++i)
      diferentes = r.at(i, "TX_ALIQUOTA") != primeira;
  }
  q.Close();
  return diferentes;
}

// ---------------------------------------------------------------- TProdutoNotaFiscal

namespace {

void set_item(StoredProc& sp, const TProdutoNotaFiscal& p) {
  sp.SetParam("CD_PRODUTO", p.CD_PRODUTO);
  sp.SetParam("NB_ITEM", i64(p.NB_ITEM));
  sp.SetParam("TX_QUANTIDADE", p.TX_QUANTIDADE);
  sp.SetParam("TX_VALOR_ITEM", p.TX_VALOR_ITEM);
  sp.SetParam("TX_VALOR_DESCONTO", p.TX_VALOR_DESCONTO);
  sp.SetParam("TX_BASE_ICMS", p.TX_BASE_ICMS);
  sp.SetParam("TX_BASE_SUBSTITUICAO", p.TX_BASE_SUBSTITUICAO);
  sp.SetParam("TX_VALOR_IPI", p.TX_VALOR_IPI);
  sp.SetParam("TX_ALIQUOTA", p.TX_ALIQUOTA);
  sp.SetParam("NB_CST", i64(p.NB_CST));
  sp.SetParam("TX_DESCRICAO", p.TX_DESCRICAO);
  sp.SetParam("ID_NOTA", i64(p.ID_NOTA));
}

}  // namespace

bool TProdutoNotaFiscal::Inserir() {
  TdmTributarium& m = dm();
  write_raising(m.trDados, [&] {
    StoredProc& sp = m.spInserirProdutoNota;
    sp.ClearParams();
    set_item(sp, *this);
    sp.ExecProc();
  });
  refresh_items(m, ID_NOTA);
  return true;
}

bool TProdutoNotaFiscal::Alterar() {
  TdmTributarium& m = dm();
  bool ok = write_quiet(m.trDados, [&] {
    StoredProc& sp = m.spAlterarProdutoNota;
    sp.ClearParams();
    sp.SetParam("ID_PRODUTO", i64(ID_PRODUTO));
    set_item(sp, *this);
    sp.ExecProc();
  });
  refresh_items(m, ID_NOTA);
  return ok;
}

bool TProdutoNotaFiscal::Excluir() {
  TdmTributarium& m = dm();
  bool ok = write_quiet(m.trDados, [&] {
    StoredProc& sp = m.spExcluirProdutoNota;
    sp.ClearParams();
    sp.SetParam("ID_PRODUTO", i64(ID_PRODUTO));
    sp.ExecProc();
  });
  refresh_items(m, ID_NOTA);
  return ok;
}

bool TProdutoNotaFiscal::ExcluirTodos() {
  TdmTributarium& m = dm();
  bool ok = write_quiet(m.trDados, [&] {
    StoredProc& sp = m.spExcluirTodosProdutoNota;
    sp.ClearParams();
    sp.SetParam("ID_NOTA", i64(ID_NOTA));
    sp.ExecProc();
  });
  refresh_items(m, ID_NOTA);
  return ok;
}

bool TProdutoNotaFiscal::BuscaPorPeriodo(const std::string& codigo, const Date& inicial,
                                         const Date& final_) {
  try {
    Query& q = dm().qBuscaProdutoNFPorPeriodo;
    q.Close();
    q.SetParam("CodProduto", std::string(common::trim(codigo)));
    q.SetParam("DtInicial", inicial);
    q.SetParam("DtFinal", final_);
    q.Open();
    const RowSet& r = q.Rows();
    bool achou = !r.empty();
    if (achou) {
      ID_PRODUTO = static_cast<int>(r.integer(0, "ID_PRODUTO"));
      CD_PRODUTO = r.at(0, "CD_PRODUTO");
      NB_ITEM = static_cast<int>(r.integer(0, "NB_ITEM"));
      TX_QUANTIDADE = r.at(0, "TX_QUANTIDADE");
      TX_VALOR_ITEM = r.at(0, "TX_VALOR_ITEM");
      TX_VALOR_DESCONTO = r.at(0, "TX_VALOR_DESCONTO");
      TX_BASE_ICMS = r.at(0, "TX_BASE_ICMS");
      TX_BASE_SUBSTITUICAO = r.at(0, "TX_BASE_SUBSTITUICAO");
      TX_VALOR_IPI = r.at(0, "TX_VALOR_IPI");
      TX_ALIQUOTA = r.at(0, "TX_ALIQUOTA");
      NB_CST = static_cast<int>(r.integer(0, "NB_CST"));
      TX_DESCRICAO = r.at(0, "TX_DESCRICAO");
      ID_NOTA = static_cast<int>(r.integer(0, "ID_NOTA"));
    }
    q.Close();
    return achou;
  } catch (const std::exception&) {
    return false;
  }
}

// ---------------------------------------------------------------- TProduto

namespace {

// Whether the transaction sees a product of the code: committed, or written by itself.
bool codigo_visivel(Transaction& tr, const std::string& codigo) {
  Query q("CodigoVisivel", tr, "select count(*) as N from produto where cd_produto = :codigo");
  q.SetParam("codigo", codigo);
  q.Open();
  return q.Rows().integer(0, "N") > 0;
}

}  // namespace

bool TProduto::Inserir() {
  TdmTributarium& m = dm();
  try {
    insere(m);
  } catch (const TEBancoDados& e) {
    // The engine refuses as a duplicate a code another desk is registering and has not
    // committed: it is in use, and may never be registered (that desk may give up).
    if (e.ErrorCode() != -803) throw;
    bool visivel = true;
    try {
      visivel = codigo_visivel(m.trDados, CD_PRODUTO);
    } catch (const DatabaseError&) {
    }
    if (!visivel) throw TEBancoDados(kCodigoRegistroEmUso);
    throw;
  }
  return true;
}

void TProduto::insere(TdmTributarium& m) {
  write_raising(m.trDados, [&] {
    StoredProc& sp = m.spInserirProduto;
    sp.ClearParams();
    sp.SetParam("CD_PRODUTO", CD_PRODUTO);
    sp.SetParam("TX_DESCRICAO", TX_DESCRICAO);
    sp.SetParam("TX_VALOR_UNITARIO", TX_VALOR_UNITARIO);
    sp.SetParam("TX_PRECO_COMPRA", TX_PRECO_COMPRA);
    sp.SetParam("TX_UNIDADE", TX_UNIDADE);
    sp.SetParam("TX_ALIQUOTA", TX_ALIQUOTA);
    sp.SetParam("TX_TIPO_ALIQUOTA", TX_TIPO_ALIQUOTA);
    sp.SetParam("CS_CONTROLA_ESTOQUE", i64(CS_CONTROLA_ESTOQUE ? 1 : 0));
    sp.SetParam("TX_QUANTIDADE", TX_QUANTIDADE);
    sp.ExecProc();
    ID_PRODUTO = static_cast<int>(sp.OutputInt("ID_PRODUTO"));
  });
}

bool TProduto::Alterar() {
  TdmTributarium& m = dm();
  write_raising(m.trDados, [&] {
    StoredProc& sp = m.spAlterarProduto;
    sp.ClearParams();
    sp.SetParam("ID_PRODUTO", i64(ID_PRODUTO));
    sp.SetParam("CD_PRODUTO", CD_PRODUTO);
    sp.SetParam("TX_DESCRICAO", TX_DESCRICAO);
    sp.SetParam("TX_VALOR_UNITARIO", TX_VALOR_UNITARIO);
    sp.SetParam("TX_UNIDADE", TX_UNIDADE);
    sp.SetParam("TX_ALIQUOTA", TX_ALIQUOTA);
    sp.SetParam("TX_TIPO_ALIQUOTA", TX_TIPO_ALIQUOTA);
    sp.SetParam("CS_CONTROLA_ESTOQUE", i64(CS_CONTROLA_ESTOQUE ? 1 : 0));
    sp.SetParam("TX_PRECO_COMPRA", TX_PRECO_COMPRA);
    sp.SetParam("TX_QUANTIDADE", TX_QUANTIDADE);
    sp.ExecProc();
  });
  refresh(m.tProduto);
  refresh(m.tInventario);
  return true;
}

bool TProduto::Excluir() {
  TdmTributarium& m = dm();
  write_raising(m.trDados, [&] {
    StoredProc& sp = m.spExcluirProduto;
    sp.ClearParams();
    sp.SetParam("ID_PRODUTO", i64(ID_PRODUTO));
    sp.ExecProc();
  });
  refresh(m.tProduto);
  refresh(m.tInventario);
  return true;
}

bool TProduto::BuscaPorCodigo(const std::string& codigo) {
  TdmTributarium& m = dm();
  Query& q = m.qBuscaProduto;
  try {
    q.Close();
    q.SetParam("CodProduto", codigo);
    q.Open();
  } catch (const DatabaseError& e) {
    throw TEBancoDados::De(e);
  }
  const RowSet& r = q.Rows();
  // The engine ignores trailing blanks when comparing; the code must match exactly.
  std::size_t linha = r.size();
  for (std::size_t i = 0; i < r.size(); ++i)
    if (r.at(i, "CD_PRODUTO") == codigo) {
      linha = i;
      break;
    }
  bool achou = linha < r.size();
  if (achou) {
    ID_PRODUTO = static_cast<int>(r.integer(linha, "ID_PRODUTO"));
    CD_PRODUTO = codigo;
    TX_DESCRICAO = r.at(linha, "TX_DESCRICAO");
    TX_VALOR_UNITARIO = r.at(linha, "TX_VALOR_UNITARIO");
    TX_PRECO_COMPRA = r.at(linha, "TX_PRECO_COMPRA");
    TX_UNIDADE = r.at(linha, "TX_UNIDADE");
    TX_ALIQUOTA = r.at(linha, "TX_ALIQUOTA");
    TX_TIPO_ALIQUOTA = r.at(linha, "TX_TIPO_ALIQUOTA");
    CS_CONTROLA_ESTOQUE = r.integer(linha, "CS_CONTROLA_ESTOQUE") > 0;
    TX_QUANTIDADE = r.at(linha, "TX_QUANTIDADE");
  }
  q.Close();
  return achou;
}

// ---------------------------------------------------------------- TInventario

namespace {

void set_inventory(StoredProc& sp, const TInventario& v) {
  sp.SetParam("DATA_INVENTARIO", v.DATA_INVENTARIO);
  sp.SetParam("ID_PRODUTO", i64(v.ID_PRODUTO));
  sp.SetParam("QUANTIDADE", v.QUANTIDADE);
  sp.SetParam("VALOR_PRODUTO", v.VALOR_PRODUTO);
  sp.SetParam("CODIGO_POSSE", i64(v.CODIGO_POSSE));
  sp.SetParam("CNPJ_POSS_PROP", v.CNPJ_POSS_PROP);
  sp.SetParam("IE_POSS_PROP", v.IE_POSS_PROP);
  sp.SetParam("UF_POSSPROP", v.UF_POSSPROP);
}

}  // namespace

bool TInventario::Inserir() {
  TdmTributarium& m = dm();
  return write_logged(m.trDados, "spInserirInventario", "", m.tInventario, [&] {
    StoredProc& sp = m.spInserirInventario;
    sp.ClearParams();
    set_inventory(sp, *this);
    sp.ExecProc();
    ID_INVENTARIO = static_cast<int>(sp.OutputInt("ID_INVENTARIO"));
    return "spInserirInventario - id: " + std::to_string(ID_INVENTARIO);
  });
}

bool TInventario::Alterar() {
  TdmTributarium& m = dm();
  return write_logged(m.trDados, "spAlterarInventario", "", m.tInventario, [&] {
    StoredProc& sp = m.spAlterarInventario;
    sp.ClearParams();
    sp.SetParam("ID_INVENTARIO", i64(ID_INVENTARIO));
    set_inventory(sp, *this);
    sp.ExecProc();
    return "spAlterarInventario - id: " + std::to_string(ID_INVENTARIO);
  });
}

bool TInventario::Excluir() {
  TdmTributarium& m = dm();
  int id = ID_INVENTARIO;
  bool ok = write_logged(m.trDados, "spExcluirInventario", "", m.tInventario, [&] {
    StoredProc& sp = m.spExcluirInventario;
    sp.ClearParams();
    sp.SetParam("ID_INVENTARIO", i64(id));
    sp.ExecProc();
    return "spExcluirInventario - id: " + std::to_string(id);
  });
  if (ok) ID_INVENTARIO = 0;
  return ok;
}

bool TInventario::BuscaPorProduto(int id_produto) {
  Query& q = dm().qBuscaInventarioPorProduto;
  q.Close();
  q.SetParam("idProduto", i64(id_produto));
  q.Open();
  const RowSet& r = q.Rows();
  bool achou = !r.empty();
  if (achou) {
    ID_INVENTARIO = static_cast<int>(r.integer(0, "ID_INVENTARIO"));
    DATA_INVENTARIO = r.date(0, "DATA_INVENTARIO");
    ID_PRODUTO = static_cast<int>(r.integer(0, "ID_PRODUTO"));
    QUANTIDADE = r.at(0, "QUANTIDADE");
    VALOR_PRODUTO = r.at(0, "VALOR_PRODUTO");
    CODIGO_POSSE = static_cast<int>(r.integer(0, "CODIGO_POSSE"));
    CNPJ_POSS_PROP = r.at(0, "CNPJ_POSS_PROP");
    IE_POSS_PROP = r.at(0, "IE_POSS_PROP");
    UF_POSSPROP = r.at(0, "UF_POSSPROP");
  }
  q.Close();
  return achou;
}

}  // namespace store
