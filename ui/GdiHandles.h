#pragma once
// GDI objects the dialogs create for themselves, deleted exactly once.
#include "app/UniqueHandle.h"

#include <windows.h>

template <typename T>
struct GdiObjectTraits {
    static T Invalid() noexcept { return nullptr; }
    static void Close(T object) noexcept { ::DeleteObject(object); }
};

using UniqueFont = UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
