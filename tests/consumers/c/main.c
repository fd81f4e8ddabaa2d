/* SPDX-License-Identifier: MIT */
/* A C program that uses an installed roughpi through pkg-config, as
 * .ci/install-check.sh builds it, as C89, C99 and C11:
 *
 *   cc -std=c89 -pedantic-errors main.c $(pkg-config --cflags --libs roughpi)
 *   cc -std=c99 main.c $(pkg-config --static --cflags --libs roughpi)
 *
 * (and compiles it as C++98 and C++20, which <roughpi.h> is too). Plain C89,
 * then: no // comments, declarations first. Takes the version pkg-config
 * reports as its argument; exits non-zero, saying why, if anything is off. */
#include <roughpi.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(int ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "c consumer: FAILED: %s (last error: \"%s\")\n", what, roughpi_last_error());
        ++failures;
    }
}

int main(int argc, char** argv)
{
    expect(argc < 2 || strcmp(roughpi_version(), argv[1]) == 0, "roughpi_version() == the package's version");
    expect(roughpi_max_x() == INT64_MAX, "roughpi_max_x() == 2^63 - 1");

    expect(roughpi_pi(INT64_C(10000000000)) == INT64_C(455052511), "roughpi_pi(10^10)");
    expect(roughpi_pi(-7) == 0, "roughpi_pi(-7) == 0");
    expect(roughpi_pi_threads(INT64_C(100000000000), 2) == INT64_C(4118054813), "roughpi_pi_threads(10^11, 2)");
    expect(roughpi_pi_threads(INT64_C(100000000000), 0) == INT64_C(4118054813), "roughpi_pi_threads(10^11, 0)");
    expect(roughpi_last_error()[0] == '\0', "no error text after a count");

    expect(roughpi_pi_threads(1000, -1) == -1, "roughpi_pi_threads(1000, -1) == -1");
    expect(strstr(roughpi_last_error(), "threads") != NULL, "the error text of roughpi_pi_threads(1000, -1)");
    expect(roughpi_pi(1000) == 168, "roughpi_pi(1000) after an error");
    expect(roughpi_last_error()[0] == '\0', "a count clears the error text");

    if (failures == 0)
        printf("c consumer: OK, roughpi %s\n", roughpi_version());
    return failures == 0 ? 0 : 1;
}
