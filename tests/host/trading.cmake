tt_add_test(tst_jsonparam data/tst_jsonparam.cpp LIBS tthost)
# the fuzzer's seed corpus doubles as a regression set
target_compile_definitions(tst_jsonparam PRIVATE TT_FUZZ_CORPUS="${PROJECT_SOURCE_DIR}/fuzz/corpus")
tt_add_test(tst_optioncalculator data/tst_optioncalculator.cpp LIBS tthost)
tt_add_test(tst_tradercenter data/tst_tradercenter.cpp LIBS tthost LABELS threaded)
