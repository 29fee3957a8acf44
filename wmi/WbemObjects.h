#pragma once
// The WMI enumerator and class objects behind the row reader's interfaces.
#include "app/ComPtr.h"
#include "wmi/WmiObjects.h"

#include <wbemidl.h>

#include <memory>

// Takes over the reference held by enumerator.
std::unique_ptr<WmiObjectEnumerator> WrapWbemEnumerator(ComPtr<IEnumWbemClassObject> enumerator);
