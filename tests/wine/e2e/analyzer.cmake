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
# It starts the real agent, which reads the IDE's settings in the prefix (see e2e/CMakeLists.txt).
set_tests_properties(e2e_analyzer PROPERTIES RESOURCE_LOCK "kevra-agent;ide-settings")

# The real agent with no tool shims on PATH or WINEPATH, finding the IDE's own tools: fixtures in the
# prefix's real local application-data and program-files folders.
kevra_wine_test(e2e_ide_tools SOURCES ide_tools_test.cpp AnalyzerDriver.cpp LIBS kevra_agent_driver ntdll)
add_dependencies(e2e_ide_tools kevra_avr_shims kevra_road_elf kevra_canned_tool)
target_compile_definitions(e2e_ide_tools PRIVATE
    KEVRA_ROAD_ELF="${KEVRA_ROAD_ELF}" KEVRA_ROAD_NM="${KEVRA_ROAD_NM}" KEVRA_ROAD_SIZE="${KEVRA_ROAD_SIZE}"
    KEVRA_CANNED_TOOL="$<TARGET_FILE:kevra_canned_tool>" KEVRA_SHIM_FOLDER="${KEVRA_AVR_SHIM_FOLDER}")
set_tests_properties(e2e_ide_tools PROPERTIES RESOURCE_LOCK "kevra-agent;ide-settings")

# Not a test: the analyzer window on the fixture's real tool output, for the README's screenshot.
add_executable(analyzer_demo analyzer_demo.cpp)
target_link_libraries(analyzer_demo PRIVATE kevra_analyzer kevra_agent_driver kevra_resources)
add_dependencies(analyzer_demo kevra_road_elf)
target_compile_definitions(analyzer_demo PRIVATE KEVRA_ROAD_NM="${KEVRA_ROAD_NM}" KEVRA_ROAD_SIZE="${KEVRA_ROAD_SIZE}")

# Not a test: the soak run behind scripts/soak-analyzer.sh.
add_executable(analyzer_soak analyzer_soak.cpp AnalyzerDriver.cpp)
target_link_libraries(analyzer_soak PRIVATE kevra_agent_driver ntdll psapi)
add_dependencies(analyzer_soak kevra_avr_shims kevra_road_elf)
target_compile_definitions(analyzer_soak PRIVATE KEVRA_ROAD_ELF="${KEVRA_ROAD_ELF}")

# The "Budget and changes" window on real Arduino builds (tests/fixtures/make-real-builds.sh): the
# budget against the builder's own size lines, the changes against avr-nm's two reports, the kept
# copies in the prefix's real local application-data folder, the list's sorting and copying.
kevra_wine_test(e2e_budget SOURCES budget_test.cpp AnalyzerDriver.cpp LIBS kevra_agent_driver kevra_analyzer_portable kevra_base_portable ntdll)
add_dependencies(e2e_budget kevra_avr_shims kevra_real_builds)
target_compile_definitions(e2e_budget PRIVATE KEVRA_REAL_BUILDS="${KEVRA_REAL_BUILDS}")
set_tests_properties(e2e_budget PROPERTIES ENVIRONMENT "WINEPATH=${shims}")
set_tests_properties(e2e_budget PROPERTIES RESOURCE_LOCK "kevra-agent;ide-settings")

# Not a test: the real agent's "Budget and changes" window on two real builds of one sketch, for the
# README's screenshot (scripts/screenshots.sh, with the shims on WINEPATH).
add_executable(budget_demo budget_demo.cpp)
target_link_libraries(budget_demo PRIVATE kevra_agent_driver shell32)
add_dependencies(budget_demo kevra_avr_shims kevra_real_builds)
target_compile_definitions(budget_demo PRIVATE KEVRA_REAL_BUILDS="${KEVRA_REAL_BUILDS}")
