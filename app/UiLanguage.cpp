#include "app/UiLanguage.h"

LANGID g_uiLanguage = 0;
