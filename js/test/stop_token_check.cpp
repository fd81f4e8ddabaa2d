// SPDX-License-Identifier: MIT
// The <stop_token> that core/compat gives a standard library without one,
// checked where it is used: built with the WebAssembly module (CMake target
// stop_token_check) and run by test/stop_token.test.mjs under Node. Exit
// status 0 when every check holds; otherwise the first that failed is printed.
#include <stop_token>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <utility>

namespace {

void check(bool holds, const char* what)
{
    if (!holds) {
        std::printf("failed: %s\n", what);
        std::exit(1);
    }
}

}  // namespace

int main()
{
    // A token without a state can never be stopped, nor can a source made so.
    const std::stop_token none;
    check(!none.stop_possible() && !none.stop_requested(), "a default token cannot be stopped");
    std::stop_source stateless(std::nostopstate);
    check(!stateless.stop_possible() && !stateless.request_stop(), "a source without a state cannot stop");

    // The first request runs each registered callback once and says so;
    // tokens and copies of the source see it.
    std::stop_source source;
    const std::stop_token token = source.get_token();
    check(token.stop_possible() && !token.stop_requested(), "a fresh token can be stopped");
    int first = 0;
    int second = 0;
    {
        std::stop_callback a(token, [&] { ++first; });
        std::stop_callback b(token, [&] { ++second; });
        std::stop_source copy = source;
        check(copy == source && copy.get_token() == token, "copies share the state");
        check(copy.request_stop(), "the first request says so");
        check(!source.request_stop(), "a second request does nothing");
        check(first == 1 && second == 1, "each callback ran once");
        check(token.stop_requested() && source.stop_requested(), "the token sees the stop");
    }
    // A callback registered after the stop runs at once, in its constructor.
    int late = 0;
    const std::stop_callback c(token, [&] { ++late; });
    check(late == 1, "a late callback runs at once");

    // A callback deregistered before the stop never runs.
    std::stop_source other;
    int never = 0;
    std::optional<std::stop_callback<std::function<void()>>> gone;
    gone.emplace(other.get_token(), [&] { ++never; });
    gone.reset();
    other.request_stop();
    check(never == 0, "a deregistered callback does not run");

    // A callback may end its own registration while it runs.
    std::stop_source self;
    std::optional<std::stop_callback<std::function<void()>>> itself;
    int ran = 0;
    itself.emplace(self.get_token(), [&] {
        ++ran;
        itself.reset();
    });
    self.request_stop();
    check(ran == 1 && !itself.has_value(), "a callback may destroy itself");

    // With every source gone, a token that saw no stop can no longer be stopped.
    std::stop_token orphan;
    {
        std::stop_source brief;
        orphan = brief.get_token();
    }
    check(!orphan.stop_possible() && !orphan.stop_requested(), "no source, no stop");
    std::printf("stop_token: every check holds\n");
    return 0;
}
