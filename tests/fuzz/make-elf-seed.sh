#!/usr/bin/env bash
# Makes the .elf reader's seed, corpus/elf_image/budget-fixture.elf: tests/fixtures/BudgetFixture.cpp
# compiled with avr-gcc for the ATmega32U4 and stripped (the section table and the device note stay,
# 1 KB instead of 10).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
avr-gcc -mmcu=atmega32u4 -std=gnu++11 -Os -o "$scratch/fixture.elf" "$here/../fixtures/BudgetFixture.cpp"
avr-strip -o "$here/corpus/elf_image/budget-fixture.elf" "$scratch/fixture.elf"
