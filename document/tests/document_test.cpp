// The document without a window: every change is one step that undo and
// redo take back and make again exactly, under either material grouping; a
// change that runs out of memory leaves everything as it was; the events
// tell the panels what happened.
#include "document/document.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "tests/support/chunks.h"

namespace {

using editor::Document;
using testsupport::Bytes;

// The small mesh of the test support, opened as the editor opens a file.
void Open(Document& doc, int grouping) {
    doc.recognizematl = grouping;
    doc.formatlist = testsupport::Containers();
    auto bytes = std::make_shared<Bytes>(testsupport::Mesh());
    doc.Replace(mesh::msh::FromBytes(bytes, doc.formatlist, grouping), "small.msh", "small.msh");
    doc.GroupMaterials(grouping == 1);
}

Bytes Saved(const Document& doc) { return testsupport::Saved(doc.Root(), doc.recognizematl); }

// The chunk at these child indexes from the root.
mesh::chunkptr At(const Document& doc, const std::vector<size_t>& path) {
    mesh::chunkptr c = doc.Root();
    for (size_t i : path) c = c->kids[i];
    return c;
}

// Every container's size is that of its children (and the MATD count of a
// grouped MATL); the first that is not, else "".
std::string SizesConsistent(const mesh::chunkptr& root, int grouping) {
    std::vector<mesh::chunkptr> stack{root};
    while (!stack.empty()) {
        mesh::chunkptr c = stack.back();
        stack.pop_back();
        if (c->kids.empty()) continue;
        int64_t sum = (grouping && c->name == "MATL") ? 4 : 0;
        for (const auto& k : c->kids) {
            sum += k->size + 8;
            stack.push_back(k);
        }
        if (sum != c->size) return c->name;
    }
    return "";
}

// A change as a command makes it: the scope, its reach and what it does;
// it also moves the selection.
struct Edit {
    const char* what;
    std::vector<size_t> scope;  // child indexes from the root
    Document::Reach reach;
    std::function<void(Document&, const mesh::chunkptr&)> run;
};

const std::vector<Edit>& Edits() {
    using R = Document::Reach;
    static const std::vector<Edit> edits = {
        {"rename a model", {0, 2}, R::own, [](Document&, const mesh::chunkptr& c) { c->name = "MODX"; }},
        {"delete a model", {0}, R::own,
         [](Document& d, const mesh::chunkptr& c) {
             c->RemoveKid(3);
             d.selchunk = c;
         }},
        {"bytes of a list", {0, 2, 4, 1, 1}, R::own,
         [](Document& d, const mesh::chunkptr& c) {
             c->SetBytes(4, Bytes{1, 2, 3, 4, 5}, d.formatlist);
             d.datacursor = 4;
         }},
        {"append a chunk", {0, 0}, R::own,
         [](Document& d, const mesh::chunkptr& c) {
             c->AppendKid(testsupport::Leaf("BBOX", testsupport::Zeros(44)));
             d.selchunk = c->kids.back();
         }},
        {"bytes inside the MATL", {0, 1}, R::subtree,
         [](Document& d, const mesh::chunkptr& c) {
             // A MATD's DATA when grouped, the MATL's own bytes when not.
             const mesh::chunkptr leaf = c->kids.empty() ? c : c->kids[0]->getkid("DATA");
             leaf->SetBytes(0, Bytes{9, 9}, d.formatlist);
         }},
        {"the whole tree", {}, R::subtree,
         [](Document&, const mesh::chunkptr& c) { c->kids[0]->RemoveKid(0); }},
    };
    return edits;
}

TEST(DocumentTest, EveryChangeIsOneStepThatUndoAndRedoTakeExactly) {
    for (int grouping : {1, 0}) {
        for (const Edit& e : Edits()) {
            SCOPED_TRACE(std::string(e.what) + (grouping ? ", grouped" : ", ungrouped"));
            Document doc;
            Open(doc, grouping);
            int changes = 0, rows = -1;
            doc.changed.Subscribe([&](const editor::Changed& c) {
                ++changes;
                rows = c.rows;
            });
            const Bytes before = Saved(doc);
            const mesh::chunkptr c = At(doc, e.scope);
            doc.selchunk = c;
            doc.datacursor = 2;
            doc.Change(e.what, e.scope.empty() ? nullptr : c, e.reach, [&] { e.run(doc, c); });
            const Bytes after = Saved(doc);
            const mesh::chunkptr selafter = doc.selchunk;
            const int cursorafter = doc.datacursor;
            ASSERT_NE(after, before);
            EXPECT_EQ(doc.history.Steps(), 1u);
            EXPECT_TRUE(doc.Modified());
            EXPECT_EQ(changes, 1);
            EXPECT_EQ(rows, doc.Root()->groupsize());
            EXPECT_EQ(SizesConsistent(doc.Root(), grouping), "");

            doc.Undo();
            EXPECT_EQ(Saved(doc), before);
            EXPECT_EQ(doc.selchunk, c);
            EXPECT_EQ(doc.datacursor, 2);
            EXPECT_FALSE(doc.Modified());
            EXPECT_EQ(SizesConsistent(doc.Root(), grouping), "");
            doc.Redo();
            EXPECT_EQ(Saved(doc), after);
            EXPECT_EQ(doc.selchunk, selafter);
            EXPECT_EQ(doc.datacursor, cursorafter);
            EXPECT_EQ(changes, 3);
            // A change that alters nothing is no step, and drops no redo.
            doc.Undo();
            doc.Change("nothing", nullptr, Document::Reach::subtree, [] {});
            EXPECT_TRUE(doc.history.CanRedo());
        }
    }
}

// A step taken under one grouping undoes under the other.
TEST(DocumentTest, StepsUndoUnderTheOtherGrouping) {
    Document doc;
    Open(doc, 1);
    const Bytes original = Saved(doc);
    const mesh::chunkptr matl = At(doc, {0, 1});
    const mesh::chunkptr data = matl->kids[0]->getkid("DATA");
    doc.selchunk = data;
    doc.Change("pick byte", data, Document::Reach::own, [&] { data->SetBytes(0, Bytes{'Q'}, doc.formatlist); });
    const Bytes edited = Saved(doc);
    doc.recognizematl = 0;
    doc.GroupMaterials(false);
    doc.Undo();
    EXPECT_EQ(Saved(doc), original);
    EXPECT_TRUE(matl->kids.empty());
    doc.recognizematl = 1;
    doc.GroupMaterials(true);
    doc.Redo();
    EXPECT_EQ(Saved(doc), edited);
    doc.recognizematl = 0;
    doc.GroupMaterials(false);
    doc.recognizematl = 1;
    doc.GroupMaterials(true);
    doc.Undo();
    EXPECT_EQ(Saved(doc), original);
    EXPECT_EQ(SizesConsistent(doc.Root(), 1), "");
}

// Memory that runs out in a change, or in the refresh after an undo or a
// redo (a subscriber of Changed takes it), leaves the mesh, the selection
// and the history as they were; the history goes on from there.
TEST(DocumentTest, RunningOutOfMemoryLeavesEverythingAsItWas) {
    for (const char* where : {"change", "undo", "redo"}) {
        SCOPED_TRACE(where);
        for (const Edit& e : Edits()) {
            SCOPED_TRACE(e.what);
            Document doc;
            Open(doc, 1);
            bool armed = false;
            doc.changed.Subscribe([&](const editor::Changed&) {
                if (armed) {
                    armed = false;
                    throw std::bad_alloc();
                }
            });
            const mesh::chunkptr c = At(doc, e.scope);
            auto change = [&] { doc.Change(e.what, e.scope.empty() ? nullptr : c, e.reach, [&] { e.run(doc, c); }); };
            const Bytes original = Saved(doc);
            if (std::string(where) != "change") change();
            if (std::string(where) == "redo") doc.Undo();
            doc.selchunk = c;
            doc.datacursor = 1;
            const Bytes bytes = Saved(doc);
            const size_t steps = doc.history.Steps();
            const bool canundo = doc.history.CanUndo(), canredo = doc.history.CanRedo();
            armed = true;
            const std::string w = where;
            EXPECT_THROW(w == "change" ? change() : w == "undo" ? doc.Undo() : doc.Redo(), std::bad_alloc);
            EXPECT_EQ(Saved(doc), bytes);
            EXPECT_EQ(doc.selchunk, c);
            EXPECT_EQ(doc.datacursor, 1);
            EXPECT_EQ(doc.history.Steps(), steps);
            EXPECT_EQ(doc.history.CanUndo(), canundo);
            EXPECT_EQ(doc.history.CanRedo(), canredo);
            EXPECT_EQ(SizesConsistent(doc.Root(), 1), "");
            while (doc.history.CanUndo()) doc.Undo();
            EXPECT_EQ(Saved(doc), original);
        }
    }
}

// A new mesh starts a fresh history with nothing selected, and says so.
TEST(DocumentTest, AReplacedMeshStartsAFreshHistory) {
    Document doc;
    Open(doc, 1);
    int replaced = 0;
    doc.replaced.Subscribe([&](const editor::MeshReplaced&) { ++replaced; });
    const mesh::chunkptr name = At(doc, {0, 0, 0});
    doc.Change("byte", name, Document::Reach::own, [&] { name->SetBytes(0, Bytes{'a'}, doc.formatlist); });
    doc.selchunk = name;
    doc.Replace(std::make_shared<mesh::msh>(), "untitled", "");
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(doc.selchunk, nullptr);
    EXPECT_EQ(doc.history.Steps(), 0u);
    EXPECT_FALSE(doc.Modified());
}

// A mesh of a scene and eight lists of 1 MB, each in an array of its own
// (as an edit gives it), under HEDR/MSH2.
void OpenLists(Document& doc) {
    Bytes lists = testsupport::Ck("SINF", testsupport::Ck("NAME", testsupport::Str("s")));
    for (char c = 'a'; c < 'i'; ++c) lists = testsupport::Cat({lists, testsupport::Ck("POSL", Bytes(1 << 20, uint8_t(c)))});
    const Bytes file = testsupport::Ck("HEDR", testsupport::Ck("MSH2", lists));
    doc.formatlist = testsupport::Containers();
    doc.Replace(mesh::msh::FromBytes(std::make_shared<Bytes>(file), doc.formatlist, 1), "lists", "");
    for (const mesh::chunkptr& k : At(doc, {0})->kids) k->setdata(Bytes(k->data().begin(), k->data().end()));
    doc.Refresh();
}

// A byte edit of a large chunk keeps only the bytes it changed.
TEST(DocumentTest, ByteEditsOfALargeChunkKeepOnlyTheChangedBytes) {
    Document doc;
    OpenLists(doc);
    const Bytes original = Saved(doc);
    const mesh::chunkptr list = At(doc, {0, 1});
    for (int i = 0; i < 100; ++i)
        doc.Change("pick byte", list, Document::Reach::own,
                   [&] { list->SetBytes(1000 * i, Bytes{uint8_t('A' + i % 26)}, doc.formatlist); });
    EXPECT_EQ(doc.history.Steps(), 100u);
    EXPECT_LT(doc.history.Bytes(), 100u * 1024);
    while (doc.history.CanUndo()) doc.Undo();
    EXPECT_EQ(Saved(doc), original);
}

// Past either bound the oldest steps go: the newest are kept and undo as
// before, the saved state they left behind is no longer reachable, the
// notice is told once, and a step counts the chunks it alone keeps.
TEST(DocumentTest, TheHistoryIsBoundedOldestStepsFirst) {
    struct Case {
        const char* what;
        size_t maxbytes, maxsteps;
        bool remove;  // each step removes the last list; else writes a byte in the first
        size_t kept;
        const char* notice;
    } cases[] = {
        {"steps", size_t{1} << 30, 5, false, 5, "undo: oldest steps dropped (history over 5 steps)"},
        {"bytes", size_t{3} << 20, 1000, true, 2, "undo: oldest steps dropped (history over 3 MB)"},
        {"within", size_t{1} << 30, 1000, true, 8, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc;
        OpenLists(doc);
        std::vector<std::string> notices;
        doc.notices.Subscribe([&](const editor::Notice& n) { notices.push_back(n.text); });
        doc.history = editor::History(c.maxbytes, c.maxsteps);
        std::vector<Bytes> states{Saved(doc)};
        for (int i = 0; i < 8; ++i) {
            const mesh::chunkptr msh2 = At(doc, {0});
            if (c.remove) {
                doc.Change("delete", msh2, Document::Reach::own, [&] { msh2->RemoveKid(msh2->kids.size() - 1); });
            } else {
                const mesh::chunkptr list = msh2->kids[1];
                doc.Change("pick byte", list, Document::Reach::own,
                           [&] { list->SetBytes(1000 * i, Bytes{uint8_t('A' + i)}, doc.formatlist); });
            }
            states.push_back(Saved(doc));
        }
        EXPECT_EQ(doc.history.Steps(), c.kept);
        EXPECT_LE(doc.history.Bytes(), c.maxbytes);
        EXPECT_EQ(notices, c.notice ? std::vector<std::string>{c.notice} : std::vector<std::string>{});
        while (doc.history.CanUndo()) doc.Undo();
        EXPECT_EQ(Saved(doc), states[8 - c.kept]);
        EXPECT_EQ(doc.history.Modified(), c.kept < 8);
        while (doc.history.CanRedo()) doc.Redo();
        EXPECT_EQ(Saved(doc), states[8]);
    }
}

}  // namespace
