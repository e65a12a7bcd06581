// Fiscal memory files: MFD download, Sintegra and RFD files, the Ato 17 libraries.
//
// Built: the MFD download and its conversion, the RFD conversion and its settings, the
// Sintegra report of a month from the detail tape and from an Ato 17 file, the Ato 17 and
// PAF-RJ files through the memory-reading libraries (orvik::memfiles). Routines not built
// yet are marked kNotBuilt.
#include "dispatch.h"
#include "orvik/memfiles/download.h"
#include "orvik/memfiles/memory_libraries.h"
#include "orvik/memfiles/rfd_conversion.h"
#include "orvik/memfiles/sintegra_binary.h"
#include "orvik/memfiles/sintegra_month.h"
#include "orvik/orvik.h"

using namespace orvik::exports;
namespace core = orvik::core;
namespace memfiles = orvik::memfiles;

namespace {

// Only the Lumvar printers download their memory; the other families are told so by the
// export's own name, whatever the family.
template <class Lumvar, class... Args>
int LumvarDownload(std::string_view name, Lumvar&& lumvar, Args... args) {
  if (!IsLumvar()) {
    return Guarded(name, [name] { return core::NotImplemented(name); });
  }
  return AnyFamily(name, lumvar, args...);
}

// The RFD conversion reads a Lumvar printer's printouts; other families have none.
template <class Routine, class... Args>
int LumvarConversion(std::string_view name, Routine&& routine, Args... args) {
  if (!IsLumvar()) return Guarded(name, [name] { return NotImplementedHere(name); });
  return AnyFamily(name, routine, args...);
}

}  // namespace

extern "C" {

ORVIK_API int ORVIK_CALL Orvik_DownloadMFD(const char* file, const char* kind, const char* first,
                                           const char* last, const char* user) {
  return LumvarDownload(__func__, memfiles::DownloadMfd, file, kind, first, last, user);
}

ORVIK_API int ORVIK_CALL Orvik_DownloadMF(const char* reserved) {
  // Reserved: no printer downloads its fiscal memory this way.
  return AnyFamily(
      __func__, [](const std::string&) { return core::NotImplemented("Orvik_DownloadMF"); },
      reserved);
}

ORVIK_API int ORVIK_CALL Orvik_FormatoDadosMFD(const char* source, const char* target,
                                               const char* format, const char* kind,
                                               const char* first, const char* last,
                                               const char* user) {
  // The interval and user are accepted for compatibility; the conversion needs none.
  return LumvarDownload(
      __func__,
      [](const std::string& from, const std::string& to, const std::string& how, const std::string&,
         const std::string&, const std::string&,
         const std::string&) { return memfiles::FormatoDadosMfd(from, to, how); },
      source, target, format, kind, first, last, user);
}

ORVIK_API int ORVIK_CALL Orvik_RelatorioSintegraMFD(int selections, const char* target,
                                                    const char* month, const char* year,
                                                    const char* company, const char* street,
                                                    const char* number, const char* complement,
                                                    const char* district, const char* city,
                                                    const char* postal_code, const char* telephone,
                                                    const char* fax, const char* contact) {
  return LumvarConversion(
      __func__,
      [](int chosen, const std::string& to, const std::string& m, const std::string& y,
         const std::string& company_name, const std::string& street_name,
         const std::string& street_number, const std::string& complement_text,
         const std::string& district_name, const std::string& city_name, const std::string& postal,
         const std::string& phone, const std::string& fax_number, const std::string& contact_name) {
        memfiles::sintegra::HeaderData h;
        h.company = company_name;
        h.street = street_name;
        h.number = street_number;
        h.complement = complement_text;
        h.district = district_name;
        h.city = city_name;
        h.postal_code = postal;
        h.telephone = phone;
        h.fax = fax_number;
        h.contact = contact_name;
        return memfiles::RelatorioSintegraMfd(chosen, to, m, y, h);
      },
      selections, target, month, year, company, street, number, complement, district, city,
      postal_code, telephone, fax, contact);
}

ORVIK_API int ORVIK_CALL Orvik_RelatorioSintegraMFDBinario(
    int selections, const char* source, const char* target, const char* company, const char* street,
    const char* number, const char* complement, const char* district, const char* city,
    const char* postal_code, const char* telephone, const char* fax, const char* contact) {
  return AnyFamily(
      __func__,
      [](int selections, const std::string& source, const std::string& target,
         const std::string& company, const std::string& street, const std::string& number,
         const std::string& complement, const std::string& district, const std::string& city,
         const std::string& postal_code, const std::string& telephone, const std::string& fax,
         const std::string& contact) {
        return memfiles::RelatorioSintegraMFDBinario(selections, source, target,
                                                     {company,
                                                      street,
                                                      number,
                                                      complement,
                                                      district,
                                                      city,
                                                      {},
                                                      postal_code,
                                                      telephone,
                                                      fax,
                                                      contact});
      },
      selections, source, target, company, street, number, complement, district, city, postal_code,
      telephone, fax, contact);
}

ORVIK_API int ORVIK_CALL Orvik_LeMemoriasBinario(const char* binary_file, const char* serial,
                                                 int flag) {
  return AnyFamily(__func__, memfiles::LeMemoriasBinario, binary_file, serial, flag);
}

ORVIK_API int ORVIK_CALL Orvik_GeraArquivoATO17Binario(const char* binary_file,
                                                       const char* text_file, const char* first,
                                                       const char* last, const char* interval_kind,
                                                       const char* user, const char* content_kind) {
  return AnyFamily(__func__, memfiles::GeraArquivoATO17Binario, binary_file, text_file, first, last,
                   interval_kind, user, content_kind);
}

ORVIK_API int ORVIK_CALL Orvik_LeStatusGeraBinario(int* state, int* error, int* size_read,
                                                   int* progress, char* text) {
  return AnyFamily(__func__, memfiles::LeStatusGeraBinario, state, error, size_read, progress,
                   text);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaLeituraBinario(void) {
  return AnyFamily(__func__, memfiles::CancelaLeituraBinario);
}

ORVIK_API int ORVIK_CALL Orvik_GeraRFDBinario(const char* first, const char* last,
                                              int interval_type, int content_type, char* file) {
  return AnyFamily(__func__, memfiles::GeraRFDBinario, first, last, interval_type, content_type,
                   file);
}

ORVIK_API int ORVIK_CALL Orvik_GeraRFDBinarioRJ(const char* first, const char* last,
                                                int interval_type) {
  return AnyFamily(__func__, memfiles::GeraRFDBinarioRJ, first, last, interval_type);
}

ORVIK_API int ORVIK_CALL Orvik_ConverteATO17ParaPAFRJ(const char* file) {
  return AnyFamily(__func__, memfiles::ConverteATO17ParaPAFRJ, file);
}

ORVIK_API int ORVIK_CALL RFD_ConvertedaMFD(const char* crz) {
  return LumvarConversion(__func__, memfiles::ConverteMfd, crz);
}

ORVIK_API int ORVIK_CALL RFD_ConvertedaMFDData(const char* first_date, const char* last_date) {
  return LumvarConversion(__func__, memfiles::ConverteMfdData, first_date, last_date);
}

ORVIK_API int ORVIK_CALL RFD_ApagaArquivos(void) {
  return AnyFamily(__func__, memfiles::ApagaArquivos);
}

ORVIK_API int ORVIK_CALL RFD_SetaStorage(int storage) {
  return AnyFamily(__func__, memfiles::SetaStorage, storage);
}

ORVIK_API int ORVIK_CALL RFD_SetaEmiteLMF_RFD(int emit) {
  return AnyFamily(__func__, memfiles::SetaEmiteLmf, emit);
}

ORVIK_API int ORVIK_CALL AtoCotepe_SetaTDMFlag(int tdm) {
  return AnyFamily(__func__, memfiles::SetaTdmFlag, tdm);
}

ORVIK_API int ORVIK_CALL Sintegra_ApagaFiles(void) {
  return AnyFamily(__func__, memfiles::ApagaArquivosSintegra);
}

}  // extern "C"
