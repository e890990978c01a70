// precompiled-header carrier for the tests
