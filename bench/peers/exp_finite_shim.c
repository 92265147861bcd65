/* Supplies the finite-math entry points that older builds of some LADSPA plug-ins call and that
   current C libraries no longer export; preloaded only by bench/compare-peers. */
#include <math.h>

double __exp_finite(double x) { return exp(x); }
double __exp2_finite(double x) { return exp2(x); }
double __log10_finite(double x) { return log10(x); }
double __log_finite(double x) { return log(x); }
double __pow_finite(double x, double y) { return pow(x, y); }
float __expf_finite(float x) { return expf(x); }
float __logf_finite(float x) { return logf(x); }
