# shellcheck shell=sh
# Sourced (POSIX sh) by scripts/wine-run and scripts/setup, the two places
# that start Wine: everything else starts it through wine-run.
#
# Where binfmt_misc hands 32-bit programs to qemu-i386-static, Debian's qemu
# 7.2 otherwise keeps the page Wine maps at 0x7ffe0000 in every process from
# it (it answers Wine's request for that page with another address), and
# each 32-bit Wine process dies at start with
#   err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: c0000018
# With a reserved guest address space ending at 0xffff0000 (64 KiB aligned)
# qemu hands out guest pages from that space itself and gives Wine the page it
# asks for. Only qemu reads the variable, so it is set whether or not qemu
# runs 32-bit programs here, and exported, so that every process Wine starts
# inherits it: the 32-bit loader wine64 starts for a 32-bit program, the
# validator's children, installers. A value the caller set is kept.
: "${QEMU_RESERVED_VA:=0xffff0000}"
export QEMU_RESERVED_VA
