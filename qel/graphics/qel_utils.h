#pragma once
// Processor features for the pixel kernels.

#include <cstdint>

// True when software can change the ID flag (bit 21) of the flags register.
bool HasCpuid();
// EAX and EDX of CPUID leaf 1 (0 without CPUID).
uint32_t CpuSignature();
uint32_t CpuFeatures();
// The MMX decision from a signature and a feature word: family field (bits 8-11) at least 5
// and feature bit 23. The extended family is not consulted.
bool MmxRule(uint32_t signature, uint32_t features);
// HasCpuid() and the MMX rule applied to this processor, evaluated afresh.
bool HasMmx();
// Ends MMX use before floating-point work: EMMS when the unit found MMX, otherwise nothing.
void LeaveMmx();

// Unit start caches HasMmx() for LeaveMmx; shutdown does nothing.
void QelUtilsUnitStart();
void QelUtilsUnitShutdown();
