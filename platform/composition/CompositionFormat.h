#pragma once

// The names a composition file is written with: its extension, the keys of
// its property list, the classes of its ports and the classes of the nodes
// our runtime plays. docs/COMPOSITIONS.md describes the format.
namespace composition {

// The file extension of compositions, without the dot.
inline constexpr char kCompositionExtension[] = "qtz";

// Top level.
inline constexpr char kRootPatchKey[] = "rootPatch";
inline constexpr char kInputParametersKey[] = "inputParameters";
inline constexpr char kCategoryKey[] = "category";
inline constexpr char kDescriptionKey[] = "description";

// A patch (the root one or a node) and its state.
inline constexpr char kStateKey[] = "state";
inline constexpr char kNodesKey[] = "nodes";
inline constexpr char kConnectionsKey[] = "connections";
inline constexpr char kPublishedInputPortsKey[] = "publishedInputPorts";
inline constexpr char kPublishedOutputPortsKey[] = "publishedOutputPorts";
// The node (in the root state) whose image output is drawn into the target,
// and that output's name ("outputImage" when absent).
inline constexpr char kRenderedNodeKey[] = "renderedNode";
inline constexpr char kRenderedPortKey[] = "renderedPort";

// A node, a published port, a connection.
inline constexpr char kKeyKey[] = "key";
inline constexpr char kClassKey[] = "class";
inline constexpr char kNodeKey[] = "node";
inline constexpr char kPortKey[] = "port";
inline constexpr char kSourceNodeKey[] = "sourceNode";
inline constexpr char kSourcePortKey[] = "sourcePort";
inline constexpr char kDestinationNodeKey[] = "destinationNode";
inline constexpr char kDestinationPortKey[] = "destinationPort";

// Node states.
inline constexpr char kPortClassKey[] = "portClass";
inline constexpr char kInputMinKey[] = "inputMin";
inline constexpr char kInputMaxKey[] = "inputMax";
inline constexpr char kIndexLabelsKey[] = "indexLabels";
inline constexpr char kValueKey[] = "value";
inline constexpr char kFragmentSourceKey[] = "fragmentSource";
inline constexpr char kWidthKey[] = "width";
inline constexpr char kHeightKey[] = "height";
inline constexpr char kFileKey[] = "file";
inline constexpr char kStringKey[] = "string";
inline constexpr char kFontKey[] = "font";
inline constexpr char kSizeKey[] = "size";
inline constexpr char kColorKey[] = "color";

// Colours are dictionaries of these four numbers (0…1).
inline constexpr char kRedKey[] = "red";
inline constexpr char kGreenKey[] = "green";
inline constexpr char kBlueKey[] = "blue";
inline constexpr char kAlphaKey[] = "alpha";
// XY structures and rectangles.
inline constexpr char kXKey[] = "x";
inline constexpr char kYKey[] = "y";

// Node classes.
inline constexpr char kPatchClass[] = "QCPatch";  // a nested state (macro)
inline constexpr char kSplitterClass[] = "QCSplitter";
inline constexpr char kVideoInputClass[] = "QCVideoInput";  // read, never played
inline constexpr char kGLSLShaderClass[] = "QCGLSLShader";
inline constexpr char kImageFileClass[] = "QCImageFile";
inline constexpr char kTextClass[] = "QCText";
inline constexpr char kNumberClass[] = "QCNumber";
inline constexpr char kBooleanClass[] = "QCBoolean";
inline constexpr char kColorClass[] = "QCColor";
inline constexpr char kPointClass[] = "QCPoint";
inline constexpr char kImageClass[] = "QCImage";

// The standard ports of nodes.
inline constexpr char kSplitterInputPort[] = "input";
inline constexpr char kSplitterOutputPort[] = "output";
inline constexpr char kValueInputPort[] = "value";
inline constexpr char kValueOutputPort[] = "outputValue";
inline constexpr char kImageOutputPort[] = "outputImage";

// The time uniform of shader nodes (seconds, a float).
inline constexpr char kTimeUniform[] = "time";

// Nested states deeper than this are refused.
inline constexpr int kMaxNestingDepth = 32;

}  // namespace composition
