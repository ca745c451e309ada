// The C runtime's floating-point exception tests, without its CPUID.
//
// libsox's resampler clips through fetestexcept/feclearexcept every few samples, and the
// MinGW runtime's versions ask CPUID whether there is SSE on every call: under a virtual
// machine that took nine tenths of a resampling rip. These do the same work (the x87
// status word and MXCSR together) and take the runtime's place in every program that
// links the rip job; the build assumes SSE2 everywhere already.
#include <fenv.h>

extern "C" {

int __cdecl fetestexcept(int excepts) {
  unsigned short status;
  unsigned int mxcsr;
  __asm__ __volatile__("fnstsw %0" : "=m"(status));
  __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
  return (status | mxcsr) & excepts & FE_ALL_EXCEPT;
}

int __cdecl feclearexcept(int excepts) {
  fenv_t env;
  unsigned int mxcsr;
  excepts &= FE_ALL_EXCEPT;
  __asm__ __volatile__("fnstenv %0" : "=m"(env));
  env.__status_word &= ~excepts;
  __asm__ __volatile__("fldenv %0" : : "m"(env));
  __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
  mxcsr &= ~excepts;
  __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
  return 0;
}

}  // extern "C"
