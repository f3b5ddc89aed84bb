# The hardening of a Debian build (dpkg-buildflags' "hardening=+all"): a
# position-independent executable, fortified libc calls, the stack protector
# and clash protection, control-flow protection, and relocations read-only
# once resolved at start (-z relro -z now). For optimised builds only:
# fortified calls need optimisation, and the debug, sanitizer and fuzz builds
# keep their own instrumentation. Every target links quillmere_options.
set(QUILLMERE_HARDENED_CONFIGS "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
target_compile_options(quillmere_options INTERFACE
  "$<${QUILLMERE_HARDENED_CONFIGS}:-fPIE;-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2;-fstack-protector-strong;-fstack-clash-protection;-fcf-protection>")
target_link_options(quillmere_options INTERFACE
  "$<${QUILLMERE_HARDENED_CONFIGS}:-pie;LINKER:-z,relro;LINKER:-z,now>")
