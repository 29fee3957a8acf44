# Third-party libraries built for the target by scripts/bootstrap.sh.
set(QEVZUN_DEPS_PREFIX "$ENV{HOME}/.cache/qevzun/i686" CACHE PATH
    "Prefix holding log4cpp, JsonCpp, SQLite 3 and GoogleTest built for the target")
list(PREPEND CMAKE_PREFIX_PATH "${QEVZUN_DEPS_PREFIX}")
list(PREPEND CMAKE_FIND_ROOT_PATH "${QEVZUN_DEPS_PREFIX}")

find_package(jsoncpp CONFIG REQUIRED)
if(TARGET jsoncpp_static)
  add_library(qevzun::jsoncpp ALIAS jsoncpp_static)
else()
  add_library(qevzun::jsoncpp ALIAS jsoncpp_lib)
endif()

find_path(LOG4CPP_INCLUDE_DIR log4cpp/Category.hh REQUIRED)
find_library(LOG4CPP_LIBRARY NAMES log4cpp REQUIRED)
add_library(qevzun::log4cpp STATIC IMPORTED)
set_target_properties(qevzun::log4cpp PROPERTIES
  IMPORTED_LOCATION "${LOG4CPP_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${LOG4CPP_INCLUDE_DIR}"
  INTERFACE_LINK_LIBRARIES "ws2_32")

find_path(SQLITE3_INCLUDE_DIR sqlite3.h REQUIRED)
find_library(SQLITE3_LIBRARY NAMES sqlite3 REQUIRED)
add_library(qevzun::sqlite3 STATIC IMPORTED)
set_target_properties(qevzun::sqlite3 PROPERTIES
  IMPORTED_LOCATION "${SQLITE3_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${SQLITE3_INCLUDE_DIR}")
