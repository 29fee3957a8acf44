#pragma once
// Turns the objects of one WMI enumeration into rows of property texts.
#include "wmi/WmiObjects.h"
#include "wmi/WmiQuery.h"

// Rows in delivery order; an object without any non-empty property adds none.
// A failed GetNames ends the list early (logged). Bound queries that fail and
// name copies that cannot be allocated throw WmiError: the caller decides.
WmiRows ReadWmiRows(WmiObjectEnumerator& enumerator);
