// SPDX-License-Identifier: GPL-3.0-or-later
// Test support library: fakes of the platform boundaries (mostly header-only).
