lumbrook_provider(persist SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/persistprovider.cpp ${CMAKE_CURRENT_LIST_DIR}/persistprovider.h
  ${CMAKE_CURRENT_LIST_DIR}/rowsetxml.cpp ${CMAKE_CURRENT_LIST_DIR}/rowsetxml.h)
