#pragma once
// Small pieces the document routines share: host texts inside double quotes, the
// operator item, blank tests and the gerencial-open flag.
#include <string>
#include <string_view>

namespace orvik::lumvar::document_texts {

// The text between double quotes, its own quotes escaped.
std::string Quoted(std::string_view text);

// Operador="..." with the current operator.
std::string OperatorItem();

// True when the text holds nothing but blanks.
bool Blank(std::string_view text);

// The gerencial-open flag in memory and in [Flags] Gerencial.
void SetGerencialOpen(bool open);

// The last message and code of a failure found before anything is sent; answers result.
int Refuse(int result, int code, std::string message);

}  // namespace orvik::lumvar::document_texts
