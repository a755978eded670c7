// The translation unit the tests' shared precompiled header is built with.
