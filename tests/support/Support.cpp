// Test support library: fakes of the platform boundaries (mostly header-only).
