#pragma once
// How a WMI property value reads as text; an empty text drops the property.
#include <oaidl.h>

#include <string>

// Logs the types it cannot render (and a failed array element fetch) under the
// property's name, and gives an empty text for them.
std::wstring VariantToText(const VARIANT& value, const std::wstring& propertyName);
