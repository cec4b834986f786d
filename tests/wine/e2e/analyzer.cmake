# The analyzer's end-to-end tests: the whole road of one build in the real agent, with the real AVR
# tools behind the avr-size/avr-nm shims, and the faults it must live through.
add_executable(kevra_canned_tool CannedTool.cpp)
set_target_properties(kevra_canned_tool PROPERTIES OUTPUT_NAME canned-tool)

kevra_wine_test(e2e_analyzer SOURCES analyzer_test.cpp AnalyzerDriver.cpp LIBS kevra_agent_driver ntdll)
add_dependencies(e2e_analyzer kevra_avr_shims kevra_road_elf kevra_canned_tool)
string(REPLACE "/" "\\" shims "Z:${KEVRA_AVR_SHIM_FOLDER}")
target_compile_definitions(e2e_analyzer PRIVATE
    KEVRA_ROAD_ELF="${KEVRA_ROAD_ELF}" KEVRA_ROAD_NM="${KEVRA_ROAD_NM}" KEVRA_ROAD_SIZE="${KEVRA_ROAD_SIZE}"
    KEVRA_CANNED_TOOL="$<TARGET_FILE:kevra_canned_tool>" KEVRA_SHIM_FOLDER="${KEVRA_AVR_SHIM_FOLDER}")
set_tests_properties(e2e_analyzer PROPERTIES ENVIRONMENT "WINEPATH=${shims}")
