/*
 * ase_scan.cpp -- the words and numbers of exported scene text: the 8-bit
 * character of a code point, and the scanf-like steps along a line that
 * the scene reader takes.
 */
#include "ase.h"

#include <limits.h>
#include <locale.h>
#include <stdlib.h>

/* The 8-bit character of a code point: itself up to 255, the code page's
 * own byte for the typographic characters it places at 128 to 159, -1 for
 * anything else. */
int ASE_CodePoint8(uint32_t c)
{
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (c < 256)
        return (int)c;
    for (int i = 0; i < (int)(sizeof(high) / sizeof(high[0])); i++)
        if (high[i] == c)
            return 128 + i;
    return -1;
}

/* ---- words and numbers ---------------------------------------------------
 * One pass along a line: each step skips blanks and reads a word, an
 * integer or a float the way the scanf conversions %s, %d and %f would,
 * and returns where it stopped, or NULL when there was nothing to read
 * (NULL passes through the next steps).  Floats are read in the C locale
 * whatever the process's locale; integers are clamped to int. */

int ASE_Space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

const char *ASE_SkipSpace(const char *p)
{
    while (ASE_Space(*p))
        p++;
    return p;
}

const char *ASE_SkipWord(const char *p)
{
    if (!p || !*(p = ASE_SkipSpace(p)))
        return NULL;
    while (*p && !ASE_Space(*p))
        p++;
    return p;
}

const char *ASE_ScanInt(const char *p, int *v)
{
    if (!p)
        return NULL;
    p = ASE_SkipSpace(p);
    int neg = *p == '-';
    const char *d = p + (*p == '-' || *p == '+');
    if (*d < '0' || *d > '9')
        return NULL;
    long long n = 0;
    for (; *d >= '0' && *d <= '9'; d++)
        if (n <= (long long)INT_MAX + 1)
            n = n * 10 + (*d - '0');
    n = neg ? -n : n;
    *v = n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : (int)n;
    return d;
}

/* Plain decimals of up to 7 significant digits and 10 decimals, as the
 * exporters write them, are one exact division in single precision (both
 * operands are exact floats, so the quotient is the correctly rounded
 * value, as strtof gives it); everything else goes to strtof in the C
 * locale. */
const char *ASE_ScanFloat(const char *p, float *v)
{
    static const float tens[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    static locale_t c_locale;
    if (!p)
        return NULL;
    p = ASE_SkipSpace(p);
    const char *d = p + (*p == '-' || *p == '+');
    uint32_t m = 0;
    int digits = 0, decimals = -1;
    for (;; d++) {
        if (*d >= '0' && *d <= '9') {
            if (m >= (1u << 24) / 10)
                break; /* too many digits for an exact float */
            m = m * 10 + (uint32_t)(*d - '0');
            digits++;
            decimals += decimals >= 0;
        } else if (*d == '.' && decimals < 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    int plain = digits > 0 && decimals <= 10 && !((*d >= '0' && *d <= '9') || *d == 'e' || *d == 'E' ||
                                                 *d == 'x' || *d == 'X' || *d == 'p' || *d == 'P' || *d == '.');
    if (plain) {
        float f = (float)m / tens[decimals < 0 ? 0 : decimals];
        *v = *p == '-' ? -f : f;
        return d;
    }
    if (!c_locale && !(c_locale = newlocale(LC_ALL_MASK, "C", (locale_t)0)))
        return NULL;
    char *end;
    float f = strtof_l(p, &end, c_locale);
    if (end == p)
        return NULL;
    *v = f;
    return end;
}
