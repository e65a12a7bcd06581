#include "generation_fixture.h"

#include <cstdlib>

#include "common/clock.h"

namespace generation::testing {

namespace fs = std::filesystem;
using sintegra::TTipoRegistros;

sintegra::TListaTipoRegistros TiposPadrao() {
  return {TTipoRegistros::Tipo10, TTipoRegistros::Tipo11, TTipoRegistros::Tipo50,
          TTipoRegistros::Tipo54, TTipoRegistros::Tipo74, TTipoRegistros::Tipo75,
          TTipoRegistros::Tipo90};
}

void GeracaoTest::SetUp() {
  const char* share_env = std::getenv("STORE_SHARE_DIR");
  ASSERT_NE(share_env, nullptr);
  fs::path share = share_env;
  ASSERT_TRUE(fs::exists(share / store::kCatalogFile)) << share;
  std::string tmpl = (fs::temp_directory_path() / "geracao-XXXXXX").string();
  ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
  dir_ = tmpl;
  fs::copy_file(share / store::kCatalogFile, dir_ / store::kCatalogFile);
  fs::create_directories(dir_ / "Cliente");
  fs::copy_file(share / store::kTemplateFolder / store::kDataFile,
                dir_ / "Cliente" / store::kDataFile);
  saida_ = dir_ / "Sintegra";
  fs::create_directories(saida_);
  dm_ = std::make_unique<store::TdmTributarium>();
  dm_->PathBaseDados = dir_.string();
  dm_->ConectaCatalogo();
  dm_->TrocarBanco("Cliente", (dir_ / "Cliente").string());
}

void GeracaoTest::TearDown() {
  dm_.reset();
  common::clock::reset();
  std::error_code ec;
  if (!dir_.empty()) fs::remove_all(dir_, ec);
}

void GeracaoTest::Proprietario() {
  store::TProprietario p;
  p.TX_CNPJ = "12345678000195";
  p.TX_IE = "110042490114";
  p.TX_RAZAO_SOCIAL = "Mercearia São João Ltda";
  p.TX_CIDADE = "Campinas";
  p.TX_ESTADO = "SP";
  p.TX_LOGRADOURO = "Rua Barão de Jaguara";
  p.NB_NUMERO = 1481;
  p.TX_BAIRRO = "Centro";
  p.TX_CEP = "13015002";
  p.TX_NOME_CONTATO = "Maria";
  p.TX_TELEFONE = "1932345678";
  p.TX_FAX = "1932345679";
  ASSERT_TRUE(p.Inserir());
}

int GeracaoTest::Produto(const std::string& codigo, const std::string& aliquota,
                         const std::string& descricao) {
  store::TProduto p;
  p.CD_PRODUTO = codigo;
  p.TX_DESCRICAO = descricao;
  p.TX_UNIDADE = "UN";
  p.TX_ALIQUOTA = aliquota;
  p.TX_TIPO_ALIQUOTA = "T";
  p.Inserir();
  return p.ID_PRODUTO;
}

int GeracaoTest::Nota(const store::Date& data, int numero, const std::string& outros,
                      const std::string& aliquota) {
  store::TNotaFiscal n;
  n.NB_NOTA = numero;
  n.TX_CNPJ = "11222333000181";
  n.TX_IE = "123456789012";
  n.TX_UF = "RJ";
  n.DT_EMISSAO = data;
  n.NB_MODELO = 1;
  n.TX_SERIE = "1";
  n.NB_CFOP = 6102;
  n.TX_EMITENTE = "Próprio";
  n.TX_ALIQUOTA = aliquota;
  n.TX_VALOR_TOTAL = "17500";
  n.TX_BASE_ICMS = "17000";
  n.TX_VALOR_ICMS = "2760";
  n.TX_VALOR_ISENTO = "000";
  n.TX_OUTROS_VALORES = outros;
  n.TX_SITUACAO = "N";
  EXPECT_TRUE(n.Inserir());
  return n.ID_NOTA;
}

void GeracaoTest::Item(int id_nota, int nb_item, const std::string& codigo,
                       const std::string& aliquota, const std::string& base,
                       const std::string& substituicao, const std::string& quantidade,
                       const std::string& valor) {
  store::TProdutoNotaFiscal p;
  p.CD_PRODUTO = codigo;
  p.NB_ITEM = nb_item;
  p.TX_QUANTIDADE = quantidade;
  p.TX_VALOR_ITEM = valor;
  p.TX_VALOR_DESCONTO = "000";
  p.TX_BASE_ICMS = base;
  p.TX_BASE_SUBSTITUICAO = substituicao;
  p.TX_VALOR_IPI = "000";
  p.TX_ALIQUOTA = aliquota;
  p.NB_CST = 0;
  p.ID_NOTA = id_nota;
  p.Inserir();
}

void GeracaoTest::Inventario(int id_produto, const store::Date& data, int posse) {
  store::TInventario v;
  v.DATA_INVENTARIO = data;
  v.ID_PRODUTO = id_produto;
  v.QUANTIDADE = "2000";
  v.VALOR_PRODUTO = "500";
  v.CODIGO_POSSE = posse;
  v.CNPJ_POSS_PROP = "11222333000181";
  v.IE_POSS_PROP = "987654321";
  v.UF_POSSPROP = "MG";
  ASSERT_TRUE(v.Inserir());
}

ResultadoGeracao GeracaoTest::Gera(int ano, int mes, const sintegra::TListaTipoRegistros& tipos,
                                   const std::string& arquivo60, int finalidade, int natureza) {
  TGeraThread t(obs_);
  t.Ano = static_cast<std::int16_t>(ano);
  t.Mes = static_cast<std::int16_t>(mes);
  t.Finalidade = finalidade;
  t.NaturezaOperacao = natureza;
  t.TiposSelecionados = tipos;
  t.ArquivoRegistros60e75 = arquivo60;
  t.DiretorioSaida = saida_.string();
  t.PausaMs = 0;
  if (antes_de_executar_) antes_de_executar_(t);
  return t.Executa();
}

std::unique_ptr<sintegra::TSintegra> GeracaoTest::Lido() {
  auto s = std::make_unique<sintegra::TSintegra>();
  s->CarregaArquivo((saida_ / "Sintegra.txt").string());
  return s;
}

std::vector<std::shared_ptr<sintegra::TRegistro>> GeracaoTest::DoTipo(const std::string& tipo) {
  std::vector<std::shared_ptr<sintegra::TRegistro>> out;
  auto s = Lido();
  for (const auto& r : s->Registros())
    if ((r->Tipo() + (r->Tipo() == "60" ? r->ObtemValor(2) : "")) == tipo) out.push_back(r);
  return out;
}

}  // namespace generation::testing
