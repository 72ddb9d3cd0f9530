# The ordinary build runs every fuzz target over its seeds and its regression inputs, with a
# plain main instead of libFuzzer: test fuzz_replay_<name>.
file(GLOB ORVANE_REPLAY_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/fuzz_*.cpp)
foreach(source ${ORVANE_REPLAY_TARGETS})
  get_filename_component(target ${source} NAME_WE)
  string(REGEX REPLACE "^fuzz_" "" name ${target})
  add_executable(replay_${name} ${source} ${CMAKE_SOURCE_DIR}/fuzz/replay.cpp)
  target_link_libraries(replay_${name} PRIVATE orvane_gui)
  add_test(NAME fuzz_replay_${name}
    COMMAND replay_${name} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name} ${CMAKE_SOURCE_DIR}/fuzz/regressions/${name})
  set_tests_properties(fuzz_replay_${name} PROPERTIES TIMEOUT 300)
endforeach()
