// Insertion strings and data bytes from the variant shapes automation languages produce.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>
#include <vector>

namespace lorvex {

// Strings: Empty or missing gives none; one string; a one-dimensional array of strings
// or of variants. Reports under clsid and returns the status.
HRESULT VariantToStringBlock(REFCLSID clsid, const VARIANT& value, std::vector<std::string>* strings);

// Data: Empty or missing gives none; a one-dimensional array of variants, each changed
// to a byte; a one-dimensional array of bytes.
HRESULT VariantToByteBlock(REFCLSID clsid, const VARIANT& value, std::vector<BYTE>* bytes);

}  // namespace lorvex
