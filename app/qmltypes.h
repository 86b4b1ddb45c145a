#pragma once

// Registers every interface model type with the declarative engine, each under a module of its own name.
void registerQmlTypes();
