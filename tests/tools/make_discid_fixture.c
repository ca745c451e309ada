/* Writes tests/data/discid_freedb.txt: tables of contents with the FreeDB ids
 * that libdiscid (Debian's libdiscid-dev) computes for them. Run once on the
 * Linux host; the result is committed, the tests never call libdiscid.
 *
 *   gcc tests/tools/make_discid_fixture.c -ldiscid -o /tmp/make_discid_fixture
 *   /tmp/make_discid_fixture > tests/data/discid_freedb.txt
 *
 * The random discs come from a fixed seed, so the output is reproducible. */
#include <discid/discid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kLeadIn = 150, kMaxTracks = 99 };

typedef struct {
    const char* note;
    int first;                 /* number of the first track in the table */
    int count;                 /* tracks, data tracks included */
    int leadout;               /* lead-out LBA */
    int lba[kMaxTracks];       /* track start LBAs in table order */
} Toc;

static unsigned s_seed = 20261210u;
static int NextRandom(int lo, int hi) /* inclusive */
{
    s_seed = s_seed * 1103515245u + 12345u;
    return lo + (int)((s_seed >> 8) % (unsigned)(hi - lo + 1));
}

/* Fills lba[] from per-track lengths in frames. */
static void Layout(Toc* t, int start, const int* lengths)
{
    int pos = start;
    for (int i = 0; i < t->count; ++i) {
        t->lba[i] = pos;
        pos += lengths[i];
    }
    t->leadout = pos;
}

/* libdiscid is given the tracks numbered 1..count in table order, as the
 * position array holds them. On a disc's own numbers (first track not 1) it
 * would put the last track number in the low byte and measure the playing
 * time from a track 1 the disc lacks. */
static void Emit(const Toc* t)
{
    DiscId* d = discid_new();
    int offsets[100];

    memset(offsets, 0, sizeof offsets);
    offsets[0] = t->leadout + kLeadIn;
    for (int i = 0; i < t->count; ++i)
        offsets[1 + i] = t->lba[i] + kLeadIn;
    if (!discid_put(d, 1, t->count, offsets)) {
        fprintf(stderr, "%s: %s\n", t->note, discid_get_error_msg(d));
        exit(1);
    }
    printf("# %s\n%s %d %d %d", t->note, discid_get_freedb_id(d), t->first, t->count, t->leadout);
    discid_free(d);
    for (int i = 0; i < t->count; ++i)
        printf(" %d", t->lba[i]);
    printf("\n");
}

int main(void)
{
    Toc t;
    int len[kMaxTracks];

    printf("# Disc ids of real-looking tables of contents. The ids were computed once by\n"
           "# libdiscid (discid_put + discid_get_freedb_id), an independent implementation,\n"
           "# through tests/tools/make_discid_fixture.c; do not edit by hand.\n"
           "#\n"
           "# Line: id first-track track-count lead-out-LBA track-start-LBAs...\n"
           "# LBAs exclude the 150-frame lead-in; data tracks are listed like audio ones.\n"
           "# The first track number is the disc's own; the id depends only on the\n"
           "# starts in table order (libdiscid was given them numbered from 1).\n");

    memset(&t, 0, sizeof t);
    t.note = "two tracks, the worked example";
    t.first = 1; t.count = 2; t.lba[0] = 0; t.lba[1] = 15000; t.leadout = 30000;
    Emit(&t);

    t.note = "one long track (live recording, 58:40)";
    t.first = 1; t.count = 1; t.lba[0] = 0; t.leadout = 264000;
    Emit(&t);

    t.note = "99 tracks of about 48 seconds, 79 minutes";
    t.first = 1; t.count = 99;
    for (int i = 0; i < 99; ++i) len[i] = 3600 + NextRandom(-70, 70);
    Layout(&t, 0, len);
    Emit(&t);

    t.note = "99 four-second index tracks (test disc)";
    t.first = 1; t.count = 99;
    for (int i = 0; i < 99; ++i) len[i] = 300;
    Layout(&t, 0, len);
    Emit(&t);

    t.note = "18 tracks ending at 79:58.74";
    t.first = 1; t.count = 18;
    {
        int left = 359849;
        for (int i = 0; i < 17; ++i) { len[i] = 19000 + NextRandom(0, 3000); left -= len[i]; }
        len[17] = left;
    }
    Layout(&t, 0, len);
    Emit(&t);

    t.note = "overburned 81:46 disc, 21 tracks";
    t.first = 1; t.count = 21;
    {
        int left = 368000;
        for (int i = 0; i < 20; ++i) { len[i] = 16000 + NextRandom(0, 3500); left -= len[i]; }
        len[20] = left;
    }
    Layout(&t, 0, len);
    Emit(&t);

    t.note = "74-minute classical disc, 4 movements";
    t.first = 1; t.count = 4;
    len[0] = 98437; len[1] = 71211; len[2] = 60388; len[3] = 102964;
    Layout(&t, 0, len);
    Emit(&t);

    t.note = "enhanced disc: 12 audio tracks, data track last after the 11400-frame gap";
    t.first = 1; t.count = 13;
    for (int i = 0; i < 12; ++i) len[i] = 14000 + NextRandom(0, 6000);
    len[12] = 0;
    Layout(&t, 0, len);
    t.lba[12] = t.leadout + 11400;
    t.leadout = t.lba[12] + 38211;
    Emit(&t);

    t.note = "mixed-mode game disc: data track 1, 19 audio tracks";
    t.first = 1; t.count = 20;
    len[0] = 121457;
    for (int i = 1; i < 20; ++i) len[i] = 6000 + NextRandom(0, 7000);
    Layout(&t, 0, len);
    Emit(&t);

    t.note = "hidden track in the pregap: track 1 starts at 7:20";
    t.first = 1; t.count = 11;
    for (int i = 0; i < 11; ++i) len[i] = 15000 + NextRandom(0, 5000);
    Layout(&t, 33000, len);
    Emit(&t);

    t.note = "disc 2 of a set numbered on: tracks 14 to 26";
    t.first = 14; t.count = 13;
    for (int i = 0; i < 13; ++i) len[i] = 12000 + NextRandom(0, 8000);
    Layout(&t, 0, len);
    Emit(&t);

    t.note = "tracks 50 to 99";
    t.first = 50; t.count = 50;
    for (int i = 0; i < 50; ++i) len[i] = 5000 + NextRandom(0, 2000);
    Layout(&t, 0, len);
    Emit(&t);

    t.note = "first track 2, starting at LBA 32";
    t.first = 2; t.count = 9;
    for (int i = 0; i < 9; ++i) len[i] = 16000 + NextRandom(0, 9000);
    Layout(&t, 32, len);
    Emit(&t);

    t.note = "first track 99, one track";
    t.first = 99; t.count = 1; t.lba[0] = 0; t.leadout = 181234;
    Emit(&t);

    for (int k = 0; k < 14; ++k) {
        static char notes[14][64];
        int count = NextRandom(1, 30), budget = 359000, start = NextRandom(0, 2) == 0 ? 182 : 0;
        t.first = 1;
        t.count = count;
        for (int i = 0; i < count; ++i) {
            int avg = (budget - start) / count;
            len[i] = NextRandom(avg / 3 > 300 ? avg / 3 : 300, avg);
        }
        Layout(&t, start, len);
        snprintf(notes[k], sizeof notes[k], "random album %d: %d tracks", k + 1, count);
        t.note = notes[k];
        Emit(&t);
    }
    return 0;
}
