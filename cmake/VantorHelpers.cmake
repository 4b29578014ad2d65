# vantor_add_subdirectories(<dir>...): adds each listed sub-folder that has a CMakeLists.txt.
function(vantor_add_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# vantor_add_test(<name> SOURCES <files>... LIBS <targets>... [LABELS <labels>...]
#                  [DATABASE [SQLITE_ONLY <test patterns>...]])
# One GoogleTest executable; its cases are discovered into CTest. Without GoogleTest the target
# still exists (so that its folder may set its properties) but is never built.
# DATABASE: the tests touch the product database (testing/support/test_database.h). They are
# discovered a second time, as "postgresql.<test>" with the label "postgresql", to run against a
# PostgreSQL server (VANTOR_TEST_ENGINE=postgresql; the server from libpq's PG... variables), all
# but those that SQLITE_ONLY names (GoogleTest filter patterns): they look at SQLite itself (its
# files, their modes, its journal) and carry the label "sqlite" instead of the folder's.
function(vantor_add_test name)
  cmake_parse_arguments(T "DATABASE" "" "SOURCES;LIBS;LABELS;SQLITE_ONLY" ${ARGN})
  if(NOT GTest_FOUND)
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  if(T_DATABASE)
    target_link_libraries(${name} PRIVATE test_database)
  endif()
  list(JOIN T_SQLITE_ONLY ":" sqliteOnly)
  set(common WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} DISCOVERY_TIMEOUT 60)
  if(sqliteOnly)
    gtest_discover_tests(${name} ${common} TEST_FILTER "-${sqliteOnly}" PROPERTIES LABELS "${T_LABELS}")
    gtest_discover_tests(${name} ${common} TEST_FILTER "${sqliteOnly}" PROPERTIES LABELS "sqlite")
  else()
    gtest_discover_tests(${name} ${common} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_DATABASE)
    if(sqliteOnly)
      set(filter TEST_FILTER "-${sqliteOnly}")
    endif()
    gtest_discover_tests(${name} ${common} ${filter} TEST_PREFIX "postgresql."
      PROPERTIES LABELS "postgresql" ENVIRONMENT "VANTOR_TEST_ENGINE=postgresql")
  endif()
endfunction()

# vantor_add_all_subdirectories(): every immediate sub-folder with a CMakeLists.txt, in name order.
function(vantor_add_all_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
