lumbrook_provider(text SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/textprovider.cpp ${CMAKE_CURRENT_LIST_DIR}/textprovider.h
  ${CMAKE_CURRENT_LIST_DIR}/delimitedparser.cpp ${CMAKE_CURRENT_LIST_DIR}/delimitedparser.h
  ${CMAKE_CURRENT_LIST_DIR}/schemaini.cpp ${CMAKE_CURRENT_LIST_DIR}/schemaini.h
  ${CMAKE_CURRENT_LIST_DIR}/textvalues.cpp ${CMAKE_CURRENT_LIST_DIR}/textvalues.h
  ${CMAKE_CURRENT_LIST_DIR}/rawcolumns.cpp ${CMAKE_CURRENT_LIST_DIR}/rawcolumns.h
  ${CMAKE_CURRENT_LIST_DIR}/textgrowing.cpp ${CMAKE_CURRENT_LIST_DIR}/textgrowing.h
  ${CMAKE_CURRENT_LIST_DIR}/textreader.cpp ${CMAKE_CURRENT_LIST_DIR}/textreader.h)
