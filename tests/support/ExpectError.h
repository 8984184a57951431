// One way to say "this must throw E": the caught exception comes back for
// checks on its message and code; anything else fails the test.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <typeinfo>

namespace tabellix::test {

template <class E, class F> std::optional<E> ExpectError(F&& action) {
    try {
        action();
    } catch (const E& e) {
        return e;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "expected " << typeid(E).name() << ", caught " << typeid(e).name() << ": "
                      << e.what();
        return std::nullopt;
    }
    ADD_FAILURE() << "expected " << typeid(E).name() << ", nothing was thrown";
    return std::nullopt;
}

} // namespace tabellix::test
