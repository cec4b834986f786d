#!/usr/bin/env bash
# Makes the .elf readers' and the decoder's seeds from tests/fixtures/BudgetFixture.cpp, compiled with
# avr-gcc for the ATmega32U4:
#   corpus/elf_image/budget-fixture.elf     stripped (the section table and the device note stay,
#                                           1 KB instead of 10)
#   corpus/elf_program/budget-fixture.elf   without debugging information (the symbols stay)
#   corpus/avr_decode/budget-fixture.text   the bytes of its .text
# and the stack analysis' seeds, corpus/stack_depth/<name>.elf, from some of tests/fixtures/stack,
# without debugging information.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
avr-gcc -mmcu=atmega32u4 -std=gnu++11 -Os -o "$scratch/fixture.elf" "$here/../fixtures/BudgetFixture.cpp"
mkdir -p "$here/corpus/elf_program" "$here/corpus/avr_decode"
avr-strip -o "$here/corpus/elf_image/budget-fixture.elf" "$scratch/fixture.elf"
avr-strip --strip-debug -o "$here/corpus/elf_program/budget-fixture.elf" "$scratch/fixture.elf"
avr-objcopy -O binary -j .text "$scratch/fixture.elf" "$here/corpus/avr_decode/budget-fixture.text"
mkdir -p "$here/corpus/stack_depth"
for name in Chain Virtual Switch Prologues; do
    avr-gcc -mmcu=atmega32u4 -o "$scratch/$name.elf" "$here/../fixtures/stack/$name.S"
    avr-strip --strip-debug -o "$here/corpus/stack_depth/$name.elf" "$scratch/$name.elf"
done
