// The mail peers for the dialog tests: the same helpers as the core tests.
#include "tests/core/mail_helpers.cpp"
