// SPDX-License-Identifier: MIT
// roughpi._roughpi: the library for Python. The package roughpi (roughpi/
// __init__.py) checks the arguments and documents the functions; this
// module counts, with the GIL released, and turns what the library throws
// into Python exceptions.
//
// While a count runs (on threads, or on a CUDA device), its progress
// callback (called by the library on the calling thread about ten times a
// second) takes the GIL to look for signals
// (Ctrl-C) and to call the caller's progress, if any. A signal handler that
// raises (Python's own raises KeyboardInterrupt) or a progress that raises
// stops the count, through the library's stop token, and the exception is
// raised again once the workers have dropped the pieces in hand.
#include <roughpi/gpu.hpp>
#include <roughpi/roughpi.hpp>
#include <roughpi/tools/command_line.hpp>
#include <roughpi/tools/parse_count.hpp>
#include <roughpi/tools/printable.hpp>

#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// A count that Ctrl-C and the progress callable can stop: count(report, stop)
// counts with `report` as its progress callback and `stop` as its token.
template <typename Count>
std::int64_t run_stoppable(Count count, const py::object& progress)
{
    std::stop_source source;
    std::optional<py::error_already_set> raised;
    const std::function<void(double)> report = [&](double share) {
        const py::gil_scoped_acquire gil;
        if (raised)
            return;
        if (PyErr_CheckSignals() != 0) {
            raised.emplace();  // takes the exception the handler raised
            source.request_stop();
            return;
        }
        if (progress.is_none())
            return;
        try {
            progress(share);
        } catch (py::error_already_set& error) {
            raised.emplace(std::move(error));
            source.request_stop();
        }
    };
    std::int64_t result = 0;
    bool cancelled = false;
    {
        const py::gil_scoped_release released;
        try {
            result = count(report, source.get_token());
        } catch (const roughpi::cancelled&) {
            cancelled = true;
        }
    }
    if (raised)
        throw std::move(*raised);
    if (cancelled) {  // nothing but a signal or the progress stops a count here
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
    }
    return result;
}

// A count on threads: count(options) with these.
template <typename Count>
std::int64_t on_threads(Count count, int threads, const py::object& progress, bool double_check)
{
    return run_stoppable(
        [&](const std::function<void(double)>& report, std::stop_token stop) {
            roughpi::parallel_options options;
            options.threads = threads;
            options.double_check = double_check;
            options.progress = report;
            options.stop = std::move(stop);
            return count(options);
        },
        progress);
}

std::int64_t prime_pi(std::int64_t x, int threads, const py::object& progress, bool double_check, bool gpu)
{
    // On a CUDA device (gpu_unavailable, a RuntimeError, where there is none).
    if (gpu)
        return run_stoppable(
            [x](const std::function<void(double)>& report, std::stop_token stop) {
                roughpi::gpu_options options;
                options.progress = report;
                options.stop = std::move(stop);
                return roughpi::prime_count_gpu(x, options);
            },
            progress);
    // Below this a count takes milliseconds: no threads, and nothing to stop.
    if (x < roughpi::PARALLEL_FROM && progress.is_none() && !double_check)
        return roughpi::prime_count(x);
    return on_threads(
        [x](const roughpi::parallel_options& options) { return roughpi::prime_count_parallel(x, options); }, threads,
        progress, double_check);
}

std::int64_t nth_prime(std::int64_t n, int threads, const py::object& progress, bool double_check)
{
    return on_threads([n](const roughpi::parallel_options& options) { return roughpi::nth_prime_parallel(n, options); },
                      threads, progress, double_check);
}

std::int64_t prime_pi_range(std::int64_t a, std::int64_t b, int threads, const py::object& progress, bool double_check)
{
    return on_threads(
        [a, b](const roughpi::parallel_options& options) { return roughpi::prime_count_range(a, b, options); }, threads,
        progress, double_check);
}

// A number as the roughpi program reads it (1e10, 2^32+1, ...), for
// python -m roughpi, from the bytes of the argument; ValueError with the
// program's message, the argument in it shown as the program shows it.
std::int64_t parse_number(const std::string& text)
{
    const roughpi::tools::parsed_count parsed = roughpi::tools::parse_count(text);
    if (parsed.status != roughpi::tools::parse_status::ok)
        throw py::value_error(roughpi::tools::parse_error_message(roughpi::tools::printable(text), parsed.status));
    return parsed.value;
}

// The command line as the roughpi program reads it, for python -m roughpi,
// from the bytes of the arguments: a dict of what it asks for, and the
// program's messages for what is wrong with it ("errors", empty when good).
py::dict parse_command_line(const std::vector<std::string>& args)
{
    std::vector<const char*> argv{"roughpi"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    const roughpi::tools::command_line line =
        roughpi::tools::parse_command_line(static_cast<int>(argv.size()), argv.data());
    using roughpi::tools::count_kind;
    const char* kind = "pi";
    switch (line.kind) {
    case count_kind::pi:
        kind = "pi";
        break;
    case count_kind::nth:
        kind = "nth";
        break;
    case count_kind::li:
        kind = "li";
        break;
    case count_kind::li_inverse:
        kind = "li_inverse";
        break;
    case count_kind::offset_li:
        kind = "offset_li";
        break;
    case count_kind::offset_li_inverse:
        kind = "offset_li_inverse";
        break;
    case count_kind::riemann_r:
        kind = "riemann_r";
        break;
    case count_kind::riemann_r_inverse:
        kind = "riemann_r_inverse";
        break;
    case count_kind::range:
        kind = "range";
        break;
    }
    py::dict parsed;
    parsed["kind"] = kind;
    parsed["kind_option"] = roughpi::tools::kind_option(line.kind);
    parsed["help"] = line.help;
    parsed["version"] = line.version;
    parsed["self_test"] = line.self_test;
    parsed["time"] = line.time;
    parsed["double_check"] = line.double_check;
    parsed["threads"] = line.threads;
    parsed["gpu"] = line.gpu;
    parsed["gpu_device"] = line.gpu_device;
    parsed["gpu_emulate"] = line.gpu_emulate;
    parsed["status"] = line.status == roughpi::tools::status_choice::always ? "always"
        : line.status == roughpi::tools::status_choice::never               ? "never"
                                                                            : "on_terminal";
    parsed["checkpoint"] = !line.checkpoint.empty();
    parsed["checkpoint_key"] = !line.checkpoint_key.empty();
    parsed["output"] = !line.output.empty();
    parsed["numbers"] = line.numbers;
    parsed["errors"] = line.errors;
    return parsed;
}

}  // namespace

PYBIND11_MODULE(_roughpi, m)
{
    m.doc() = "roughpi's library: pi(x), the n-th prime and the estimates (see the package roughpi)";
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const roughpi::input_error& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const roughpi::internal_error& e) {
            PyErr_SetString(PyExc_RuntimeError, e.what());
        }
    });
    m.def("prime_pi", &prime_pi, py::arg("x"), py::arg("threads"), py::arg("progress"), py::arg("double_check"),
          py::arg("gpu"));
    // One thread, no progress: the quick call for 2 <= x < PARALLEL_FROM.
    m.def(
        "prime_count", [](std::int64_t x) { return roughpi::prime_count(x); }, py::arg("x"),
        py::call_guard<py::gil_scoped_release>());
    m.def("nth_prime", &nth_prime, py::arg("n"), py::arg("threads"), py::arg("progress"), py::arg("double_check"));
    m.def("prime_pi_range", &prime_pi_range, py::arg("a"), py::arg("b"), py::arg("threads"), py::arg("progress"),
          py::arg("double_check"));
    m.def("li", &roughpi::li, py::arg("x"));
    m.def("li_inverse", &roughpi::li_inverse, py::arg("y"));
    m.def("offset_li", &roughpi::offset_li, py::arg("x"));
    m.def("offset_li_inverse", &roughpi::offset_li_inverse, py::arg("y"));
    m.def("riemann_r", &roughpi::riemann_r, py::arg("x"));
    m.def("riemann_r_inverse", &roughpi::riemann_r_inverse, py::arg("y"));
    m.def("parse_number", &parse_number, py::arg("text"));
    m.def("parse_command_line", &parse_command_line, py::arg("args"));
    m.def("usable_cpus", &roughpi::usable_cpus);
    m.def("gpu_device_count", &roughpi::gpu_device_count);
    m.attr("version") = roughpi::version();
    m.attr("MAX_X") = roughpi::MAX_SUPPORTED_X;
    m.attr("MAX_N") = roughpi::MAX_PRIME_INDEX;
    m.attr("PARALLEL_FROM") = roughpi::PARALLEL_FROM;
    m.attr("MAX_THREADS") = roughpi::MAX_THREADS;
    m.attr("LI_INVERSE_MAX") = roughpi::li(roughpi::MAX_SUPPORTED_X);
    m.attr("OFFSET_LI_INVERSE_MAX") = roughpi::offset_li(roughpi::MAX_SUPPORTED_X);
    m.attr("RIEMANN_R_INVERSE_MAX") = roughpi::riemann_r(roughpi::MAX_SUPPORTED_X);
}
