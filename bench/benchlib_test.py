#!/usr/bin/python3
"""Reading multimon-ng's and tolvana-decode's output, and the scoring, on
lines as the programs really print them (multimon-ng 1.2.0)."""

import os
import sys
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

MULTIMON_OUTPUT = (
    "FMS: 1ded47442414 (4=KatS          \t1=Bund            \tOrt 0x42=066\tFZG 4474\t"
    "Status d=KurzTXT D     \t1=LST->FZG\t3=IV (mit NA,mit SIGNAL)\t) CRC correct\n"
    "FMS: 6d826176381e (e=ZivilSchutz   \t1=Bund            \tOrt 0x83=131\tFZG 6716\t"
    "Status 2=Bereit Wache  \t0=FZG->LST\t2=III(mit NA,ohneSIGNAL)\t) CRC correct\n"
    "FMS: 528f92272714 (4=KatS          \t1=Bund            \tOrt 0x72=114\tFZG 7229\t"
    "Status f=Sprechtaste   \t0=FZG->LST\t2=III(mit NA,ohneSIGNAL)\t) CRC INCORRECT (25)\n"
    "ZVEI1: 2E021\n"
    "ZVEI1: 135E2\n"
    "POCSAG512: Address: 1814080  Function: 3  Alpha:   Funk\u00fcbung 19:30 Uhr<NUL>\n"
    "POCSAG2400: Address:   62505  Function: 2  Alpha:   F2 Gro\u00dfbrand Scheune\n"
    "POCSAG2400: Warning: Message too long\n"
    "POCSAG512: Address: 1860544  Function: 3 \n"
    "POCSAG1200: Address:  307776  Function: 0  Numeric: 059[U5 5]03U3\n"
)


class ParseMultimon(unittest.TestCase):
    def test_every_kind_of_line_becomes_the_export_line(self):
        self.assertEqual(benchlib.parse_multimon(MULTIMON_OUTPUT, "R"), [
            ("R", "##FMS#41424474#13#31#+"),      # status d, TKI IV, to the vehicle
            ("R", "##FMS#E1836716#2#20#+"),
            ("R", "##ZVEI#22021##+"),             # E repeats the digit before it
            ("R", "##ZVEI#13552##+"),
            ("R", "##POC#1814080#3#Funk\u00fcbung 19:30 Uhr#+"),
            ("R", "##POC#62505#2#F2 Gro\u00dfbrand Scheune#+"),
            ("R", "##POC#1860544#3##+"),          # an address without a message
            ("R", "##POC#307776#0#059[U5 5]03U3#+"),
        ])


class ParseTolvana(unittest.TestCase):
    def test_side_and_line(self):
        self.assertEqual(benchlib.parse_tolvana("L\t##ZVEI#12345##+\nR\tTonruf I\n"),
                         [("L", "##ZVEI#12345##+"), ("R", "Tonruf I")])


class Scoring(unittest.TestCase):
    SENT = [("L", "##FMS#62345678#3#00#+"), ("L", "##ZVEI#12345##+"), ("L", "##ZVEI#12345##+"),
            ("R", "##POC#123#1#Probealarm#+")]

    def test_counts_each_sent_transmission_once(self):
        got = [("L", "##ZVEI#12345##+"), ("L", "##ZVEI#12345##+"), ("L", "##ZVEI#12345##+"),
               ("R", "##ZVEI#12345##+"), ("R", "##POC#123#1#Probealarm#+"), ("R", "##POC#123#1#Probealarn#+")]
        s = benchlib.score(self.SENT, got)
        # The second page is damaged (the pager was paged, the text is
        # another); the five-tone call on the right was never sent there.
        self.assertEqual((s.expected, s.correct, s.repeated, s.wrong, s.damaged), (4, 3, 1, 1, 1))

    def test_a_page_to_another_pager_or_function_is_made_up(self):
        got = [("R", "##POC#124#1#Probealarm#+"), ("R", "##POC#123#2#Probealarm#+"),
               ("L", "##POC#123#1#Probealarm#+")]
        s = benchlib.score(self.SENT, got)
        self.assertEqual((s.correct, s.wrong, s.damaged), (0, 3, 0))

    def test_one_kind_counts_its_own_but_every_made_up_reception(self):
        got = [("L", "##ZVEI#12345##+"), ("L", "##FMS#62345678#3#01#+")]
        s = benchlib.score(self.SENT, got, "ZVEI")
        self.assertEqual((s.expected, s.correct, s.wrong), (2, 1, 1))
        self.assertEqual(s.share(), 0.5)


if __name__ == "__main__":
    unittest.main()
