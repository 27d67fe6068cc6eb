# Checks that every source file under SRC_DIR includes only from its own
# folder or from a folder on a lower floor. Run with
#   cmake -DSRC_DIR=<repo>/src -P CheckLayers.cmake
# Fails naming each offending line; a folder missing from the table below is
# also a failure, so a new folder must be given its floor before it is used.

# Floor of each folder of src/, lowest first. Folders on the same floor are
# peers and do not include each other.
set(floors
  "platform=0"     # program root, title, code-table index, settings, errors, platform layer
  "dataset=1"      # in-memory tables, fields, amounts, DATAPACKET files, filters
  "db=2"           # connection, query, dialect, SQLite extensions, transactions, ids, schema
  "store=3"        # the fiscal data store
  "print=4"        # PDF engine, coordinate files, print drivers
  "declaration=5"  # declaration module, catalogue, rules, lifecycle, JSON, data checks
  "telematic=6" "payroll=6"
  "tables=7"       # code tables
  "forms=8"        # the form description
  "app=9"          # the application object
  "cli=10" "ui=10")

get_filename_component(SRC_DIR "${SRC_DIR}" ABSOLUTE)
if(NOT IS_DIRECTORY "${SRC_DIR}")
  message(FATAL_ERROR "SRC_DIR non indicata o non è una cartella: '${SRC_DIR}'")
endif()

foreach(entry IN LISTS floors)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 name)
  list(GET pair 1 floor)
  set(floor_${name} ${floor})
endforeach()

file(GLOB_RECURSE sources RELATIVE "${SRC_DIR}" "${SRC_DIR}/*.h" "${SRC_DIR}/*.cpp")
list(SORT sources)
set(problems "")
foreach(rel IN LISTS sources)
  string(REGEX MATCH "^[^/]+" own "${rel}")
  if(NOT DEFINED floor_${own})
    string(APPEND problems "${rel}: la cartella '${own}' non ha un piano nella tabella dei livelli\n")
    continue()
  endif()
  file(STRINGS "${SRC_DIR}/${rel}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "\"([^\"/]+)/[^\"]*\"")
      continue() # an include without a folder is a file beside this one
    endif()
    set(target "${CMAKE_MATCH_1}")
    if(target STREQUAL own)
      continue()
    endif()
    if(NOT DEFINED floor_${target})
      string(APPEND problems "${rel}: include da una cartella sconosciuta: ${line}\n")
    elseif(NOT floor_${target} LESS floor_${own})
      string(APPEND problems
             "${rel}: '${own}' (piano ${floor_${own}}) include da '${target}' (piano ${floor_${target}}): ${line}\n")
    endif()
  endforeach()
endforeach()

list(LENGTH sources count)
if(problems)
  message(FATAL_ERROR "Include che salgono di livello:\n${problems}")
endif()
message(STATUS "Livelli rispettati in ${count} file.")
