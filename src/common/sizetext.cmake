target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SizeText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SizeText.h
)
