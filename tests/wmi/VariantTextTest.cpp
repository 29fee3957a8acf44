#include "wmi/VariantText.h"

#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "wmi/ComValues.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <functional>
#include <ostream>
#include <string>

namespace {

SAFEARRAY* StringArray(std::initializer_list<const wchar_t*> items) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(items.size()));
    LONG i = 0;
    for (const wchar_t* item : items) {
        UniqueBstr s(::SysAllocString(item));
        ::SafeArrayPutElement(array, &i, s.get());
        ++i;
    }
    return array;
}

SAFEARRAY* VariantArray(std::initializer_list<std::function<void(VARIANT*)>> items) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(items.size()));
    LONG i = 0;
    for (const auto& fill : items) {
        ScopedVariant v;
        fill(v.get());
        ::SafeArrayPutElement(array, &i, v.get());
        ++i;
    }
    return array;
}

void Text(VARIANT* v, const wchar_t* s) {
    v->vt = VT_BSTR;
    v->bstrVal = ::SysAllocString(s);
}

struct VariantCase {
    const char* name;
    std::function<void(VARIANT*)> fill;
    std::wstring expected;
    const char* line;  // the one error line expected; null: none
};
void PrintTo(const VariantCase& c, std::ostream* os) { *os << c.name; }

class VariantText : public ::testing::TestWithParam<VariantCase> {};

TEST_P(VariantText, RendersEachHandledTypeAndLogsTheOthers) {
    const VariantCase& c = GetParam();
    ScopedVariant value;
    c.fill(value.get());
    LogCapture log;
    EXPECT_EQ(VariantToText(value.value(), L"Prop"), c.expected);
    if (c.line == nullptr) {
        EXPECT_EQ(log.Count("[ERROR]"), 0) << log.Dump();
    } else {
        EXPECT_EQ(CountMessages(log, "ERROR", c.line), 1) << log.Dump();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, VariantText,
    ::testing::Values(
        VariantCase{"empty", [](VARIANT* v) { v->vt = VT_EMPTY; }, L"", nullptr},
        VariantCase{"null", [](VARIANT* v) { v->vt = VT_NULL; }, L"", nullptr},
        VariantCase{"i2_negative", [](VARIANT* v) { v->vt = VT_I2; v->iVal = -32768; }, L"-32768", nullptr},
        VariantCase{"i4_negative", [](VARIANT* v) { v->vt = VT_I4; v->lVal = -2147483647 - 1; }, L"-2147483648",
                    nullptr},
        VariantCase{"r4_six_decimals", [](VARIANT* v) { v->vt = VT_R4; v->fltVal = 1.5f; }, L"1.500000", nullptr},
        VariantCase{"r8_negative", [](VARIANT* v) { v->vt = VT_R8; v->dblVal = -0.25; }, L"-0.250000", nullptr},
        VariantCase{"bstr", [](VARIANT* v) { Text(v, L"00:1A:2B:3C:4D:5E"); }, L"00:1A:2B:3C:4D:5E", nullptr},
        VariantCase{"bool_true", [](VARIANT* v) { v->vt = VT_BOOL; v->boolVal = VARIANT_TRUE; }, L"1", nullptr},
        VariantCase{"bool_other_non_zero", [](VARIANT* v) { v->vt = VT_BOOL; v->boolVal = 1; }, L"1", nullptr},
        VariantCase{"bool_false", [](VARIANT* v) { v->vt = VT_BOOL; v->boolVal = VARIANT_FALSE; }, L"0", nullptr},
        VariantCase{"i1_negative", [](VARIANT* v) { v->vt = VT_I1; v->cVal = static_cast<CHAR>(-128); }, L"-128",
                    nullptr},
        VariantCase{"ui2_max", [](VARIANT* v) { v->vt = VT_UI2; v->uiVal = 65535; }, L"65535", nullptr},
        VariantCase{"ui4_max", [](VARIANT* v) { v->vt = VT_UI4; v->ulVal = 4294967295u; }, L"4294967295", nullptr},
        VariantCase{"i8_min", [](VARIANT* v) { v->vt = VT_I8; v->llVal = -9223372036854775807LL - 1; },
                    L"-9223372036854775808", nullptr},
        VariantCase{"ui8_above_two_to_the_63",
                    [](VARIANT* v) { v->vt = VT_UI8; v->ullVal = 9223372036854775809ULL; }, L"9223372036854775809",
                    nullptr},
        VariantCase{"int_negative", [](VARIANT* v) { v->vt = VT_INT; v->intVal = -7; }, L"-7", nullptr},
        VariantCase{"string_array_first_element",
                    [](VARIANT* v) { v->vt = VT_ARRAY | VT_BSTR; v->parray = StringArray({L"first", L"second"}); },
                    L"first", nullptr},
        VariantCase{"empty_string_array",
                    [](VARIANT* v) { v->vt = VT_ARRAY | VT_BSTR; v->parray = StringArray({}); }, L"",
                    "WMI: Query SafeArrayGetElement() FAILED. hr:08002000B"},
        VariantCase{"variant_array_of_string",
                    [](VARIANT* v) {
                        v->vt = VT_ARRAY | VT_VARIANT;
                        v->parray = VariantArray({[](VARIANT* e) { Text(e, L"192.168.1.7"); },
                                                  [](VARIANT* e) { e->vt = VT_I4; e->lVal = 1; }});
                    },
                    L"192.168.1.7", nullptr},
        VariantCase{"variant_array_of_integer",
                    [](VARIANT* v) {
                        v->vt = VT_ARRAY | VT_VARIANT;
                        v->parray = VariantArray({[](VARIANT* e) { e->vt = VT_I4; e->lVal = 42; }});
                    },
                    L"", "Unhandled sub-type 3 for type (VT_ARRAY|VT_VARIANT) and property Prop"},
        VariantCase{"ui1_unhandled", [](VARIANT* v) { v->vt = VT_UI1; v->bVal = 7; }, L"",
                    "Unhandled type 17 for property Prop"},
        VariantCase{"currency_unhandled", [](VARIANT* v) { v->vt = VT_CY; v->cyVal.int64 = 10000; }, L"",
                    "Unhandled type 6 for property Prop"},
        VariantCase{"date_unhandled", [](VARIANT* v) { v->vt = VT_DATE; v->date = 45000.0; }, L"",
                    "Unhandled type 7 for property Prop"},
        VariantCase{"uint_unhandled", [](VARIANT* v) { v->vt = VT_UINT; v->uintVal = 7; }, L"",
                    "Unhandled type 23 for property Prop"},
        VariantCase{"integer_array_unhandled",
                    [](VARIANT* v) {
                        v->vt = VT_ARRAY | VT_I4;
                        v->parray = ::SafeArrayCreateVector(VT_I4, 0, 1);
                    },
                    L"", "Unhandled type 8195 for property Prop"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
