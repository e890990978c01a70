# Quotes, market simulator, push feed and formula services.
tt_add_test(tst_formulaengine data/tst_formulaengine.cpp LIBS tthost)
tt_add_test(tst_quotecache data/tst_quotecache.cpp LIBS tthost)
tt_add_test(tst_pushfeed data/tst_pushfeed.cpp LIBS tthost LABELS threaded)
