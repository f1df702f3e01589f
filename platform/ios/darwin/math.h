#pragma once
#include "_darwin.h"

#define FP_NAN 1
#define FP_INFINITE 2
#define FP_ZERO 3
#define FP_NORMAL 4
#define FP_SUBNORMAL 5
#define FP_ILOGB0 (-2147483647 - 1)
#define FP_ILOGBNAN (-2147483647 - 1)
#define MATH_ERRNO 1
#define MATH_ERREXCEPT 2
#define HUGE_VAL __builtin_huge_val()
#define HUGE_VALF __builtin_huge_valf()
#define HUGE_VALL __builtin_huge_vall()
#define INFINITY __builtin_inff()
#define NAN __builtin_nanf("0x7fc00000")

#define fpclassify(x) __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, FP_ZERO, x)
#define signbit(x) __builtin_signbit(x)
#define isfinite(x) __builtin_isfinite(x)
#define isinf(x) __builtin_isinf(x)
#define isnan(x) __builtin_isnan(x)
#define isnormal(x) __builtin_isnormal(x)
#define isgreater(x, y) __builtin_isgreater(x, y)
#define isgreaterequal(x, y) __builtin_isgreaterequal(x, y)
#define isless(x, y) __builtin_isless(x, y)
#define islessequal(x, y) __builtin_islessequal(x, y)
#define islessgreater(x, y) __builtin_islessgreater(x, y)
#define isunordered(x, y) __builtin_isunordered(x, y)

typedef float float_t;
typedef double double_t;

__DARWIN_BEGIN_DECLS
int __math_errhandling(void);
#define math_errhandling (__math_errhandling())

double acos(double value);
float acosf(float value);
long double acosl(long double value);
double acosh(double value);
float acoshf(float value);
long double acoshl(long double value);
double asin(double value);
float asinf(float value);
long double asinl(long double value);
double asinh(double value);
float asinhf(float value);
long double asinhl(long double value);
double atan(double value);
float atanf(float value);
long double atanl(long double value);
double atanh(double value);
float atanhf(float value);
long double atanhl(long double value);
double cbrt(double value);
float cbrtf(float value);
long double cbrtl(long double value);
double ceil(double value);
float ceilf(float value);
long double ceill(long double value);
double cos(double value);
float cosf(float value);
long double cosl(long double value);
double cosh(double value);
float coshf(float value);
long double coshl(long double value);
double erf(double value);
float erff(float value);
long double erfl(long double value);
double erfc(double value);
float erfcf(float value);
long double erfcl(long double value);
double exp(double value);
float expf(float value);
long double expl(long double value);
double exp2(double value);
float exp2f(float value);
long double exp2l(long double value);
double expm1(double value);
float expm1f(float value);
long double expm1l(long double value);
double fabs(double value);
float fabsf(float value);
long double fabsl(long double value);
double floor(double value);
float floorf(float value);
long double floorl(long double value);
double lgamma(double value);
float lgammaf(float value);
long double lgammal(long double value);
double log(double value);
float logf(float value);
long double logl(long double value);
double log10(double value);
float log10f(float value);
long double log10l(long double value);
double log1p(double value);
float log1pf(float value);
long double log1pl(long double value);
double log2(double value);
float log2f(float value);
long double log2l(long double value);
double logb(double value);
float logbf(float value);
long double logbl(long double value);
double nearbyint(double value);
float nearbyintf(float value);
long double nearbyintl(long double value);
double rint(double value);
float rintf(float value);
long double rintl(long double value);
double round(double value);
float roundf(float value);
long double roundl(long double value);
double sin(double value);
float sinf(float value);
long double sinl(long double value);
double sinh(double value);
float sinhf(float value);
long double sinhl(long double value);
double sqrt(double value);
float sqrtf(float value);
long double sqrtl(long double value);
double tan(double value);
float tanf(float value);
long double tanl(long double value);
double tanh(double value);
float tanhf(float value);
long double tanhl(long double value);
double tgamma(double value);
float tgammaf(float value);
long double tgammal(long double value);
double trunc(double value);
float truncf(float value);
long double truncl(long double value);
double atan2(double left, double right);
float atan2f(float left, float right);
long double atan2l(long double left, long double right);
double copysign(double left, double right);
float copysignf(float left, float right);
long double copysignl(long double left, long double right);
double fdim(double left, double right);
float fdimf(float left, float right);
long double fdiml(long double left, long double right);
double fmax(double left, double right);
float fmaxf(float left, float right);
long double fmaxl(long double left, long double right);
double fmin(double left, double right);
float fminf(float left, float right);
long double fminl(long double left, long double right);
double fmod(double left, double right);
float fmodf(float left, float right);
long double fmodl(long double left, long double right);
double hypot(double left, double right);
float hypotf(float left, float right);
long double hypotl(long double left, long double right);
double nextafter(double left, double right);
float nextafterf(float left, float right);
long double nextafterl(long double left, long double right);
double pow(double left, double right);
float powf(float left, float right);
long double powl(long double left, long double right);
double remainder(double left, double right);
float remainderf(float left, float right);
long double remainderl(long double left, long double right);
double fma(double left, double right, double addend);
float fmaf(float left, float right, float addend);
long double fmal(long double left, long double right, long double addend);
double frexp(double value, int* exponent);
float frexpf(float value, int* exponent);
long double frexpl(long double value, int* exponent);
int ilogb(double value);
int ilogbf(float value);
int ilogbl(long double value);
double ldexp(double value, int exponent);
float ldexpf(float value, int exponent);
long double ldexpl(long double value, int exponent);
long long llrint(double value);
long long llrintf(float value);
long long llrintl(long double value);
long long llround(double value);
long long llroundf(float value);
long long llroundl(long double value);
long lrint(double value);
long lrintf(float value);
long lrintl(long double value);
long lround(double value);
long lroundf(float value);
long lroundl(long double value);
double modf(double value, double* integral);
float modff(float value, float* integral);
long double modfl(long double value, long double* integral);
double nexttoward(double value, long double toward);
float nexttowardf(float value, long double toward);
long double nexttowardl(long double value, long double toward);
double remquo(double left, double right, int* quotient);
float remquof(float left, float right, int* quotient);
long double remquol(long double left, long double right, int* quotient);
double scalbln(double value, long exponent);
float scalblnf(float value, long exponent);
long double scalblnl(long double value, long exponent);
double scalbn(double value, int exponent);
float scalbnf(float value, int exponent);
long double scalbnl(long double value, int exponent);
double nan(const char* tag);
float nanf(const char* tag);
long double nanl(const char* tag);
__DARWIN_END_DECLS
